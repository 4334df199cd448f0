# Sources whose loops run over one phase's few constituents or sublattices
# (one to a dozen entries), or over the solver's small matrices (a few
# elements and phases). Vectorised, each such loop pays set-up and
# remainder code that costs more than it saves: about 5 % of a sublattice
# phase's solve. Results are unchanged: the vectoriser does not reorder
# floating-point sums (no -ffast-math), so each entry is computed by the
# same operations either way.
function(eqcore_short_loops)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS -fno-tree-vectorize)
  endif()
endfunction()
