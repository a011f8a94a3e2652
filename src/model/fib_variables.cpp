#include "model/fib_job.hpp"

namespace tbx {

const std::array<FibVariableInfo, FIB_VARIABLES> FIB_VARIABLES_INFO = {{
    {"a", "mm", "concrete cover"},
    {"dx", "mm", "depth of the convection zone"},
    {"D_RCM0", "1e-12 m2/s", "chloride migration coefficient (RCM)"},
    {"alpha", "-", "ageing exponent"},
    {"be", "K", "regression variable of the temperature"},
    {"T", "deg C", "temperature of the element or the air"},
    {"Cs_dx", "mass-% of binder", "chloride content at depth dx"},
    {"C0", "mass-% of binder", "initial chloride content"},
    {"Ccrit", "mass-% of binder", "critical chloride content"},
    {"kt", "-", "transfer parameter of the test method"},
}};

const std::array<const char*, FIB_KEYS> FIB_KEY_NAMES = {"mean", "sd", "lower", "upper", "value"};

}  // namespace tbx
