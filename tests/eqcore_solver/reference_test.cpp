#include "solver_test_util.hpp"
