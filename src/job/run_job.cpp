#include "job/run_job.hpp"

namespace tbx {

int main_entry(int, char**) { return 0; }

}  // namespace tbx
