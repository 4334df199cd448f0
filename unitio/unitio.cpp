// Placeholder until the unit table is built.
#include "unitio.hpp"
