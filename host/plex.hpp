// The host's plex: the records and per-component parameter areas that the
// plug-in reads from DMS_PLEX. The layout is built once per run from the
// run's description; nothing grows afterwards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formula.hpp"
#include "fortran.hpp"

namespace elvar {

struct PlexComponent {
    std::string id;       // up to 8 characters
    std::string name;     // up to 32 characters
    std::string formula;  // the text, up to 32 characters
    Formula atoms;        // its elements and counts
    double mw = 0.0;      // kg/kmol
};

struct PlexOptionSet {
    std::string name;  // up to 16 characters
    std::string base;  // the option set it is derived from; empty for none
};

// One chemistry: its equations, each a coefficient per host component.
struct PlexChemistry {
    std::vector<std::vector<double>> equations;
};

// Where the build put what the caller needs to refer to later.
struct PlexMap {
    std::vector<ftn::Int> option_sets;  // record identifier of each option set
    std::vector<ftn::Int> chemistries;  // record identifier of each chemistry
    ftn::Int words_used = 0;
};

// Record 2, the host's global record, and the words of it the plug-in follows.
inline constexpr ftn::Int kGlobalRecord = 2;
inline constexpr ftn::Int kDirectoryWord = 20;        // record of the component directory
inline constexpr ftn::Int kOptionListWord = 124;      // record of the option-set definitions
inline constexpr ftn::Int kComponentDataWord = 199;   // record of the component data header
inline constexpr ftn::Int kNameTableWord = 28;        // in that header: record of the name table

// Lays the plex out afresh (all of it is cleared first) and fills the flash
// work-array locations in DMS_STWKWK and SHS_STWORK and DMS_IPOFF4 word 2.
// Throws SetupError when the description does not fit into the plex.
PlexMap build_plex(const std::vector<PlexComponent>& components,
                   const std::vector<PlexOptionSet>& option_sets,
                   const std::vector<PlexChemistry>& chemistries);

// Forgets every record (start of a run, before the build).
void clear_plex();

// Where record `id` begins; the location of an all-zero area for an unknown
// record, so that a wrong identifier reads zeros instead of foreign data.
ftn::Int locate_record(ftn::Int id);
// The location of a per-component parameter ("IDSCC", "MW", "ATOMNO",
// "NOATOM", "FRMULA"); 0 for any other name or before a run is built.
ftn::Int parameter_location(std::string_view name);

// Number of equations and matrix location of a chemistry record; both 0 for
// an identifier that is no chemistry.
struct ChemistryInfo {
    ftn::Int equations = 0;
    ftn::Int matrix = 0;
};
ChemistryInfo chemistry_info(ftn::Int id);

}  // namespace elvar
