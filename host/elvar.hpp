// The host stand-in's C++ API: everything a tool or a test needs to set up a
// host run and call the plug-in's entry points the way the host does.
#pragma once

#include "blocks.hpp"        // the host's blocks, sizes and fixed values
#include "calls.hpp"         // argument storage for the flash and the block
#include "examples_dir.hpp"  // the bundled example data
#include "formula.hpp"       // component formulas
#include "message_log.hpp"   // messages the plug-in reported
#include "run.hpp"           // setting up a run
#include "setup_error.hpp"
#include "streams.hpp"       // stream vectors and substream tables
#include "terminal.hpp"      // terminal capture
