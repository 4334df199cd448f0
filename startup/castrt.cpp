// CASTRT: brings EQCORE into the state every other routine of EQLINK
// assumes, once per run: initialised, units fixed (Pa, K, m3, J, mol), the
// data file opened, read and closed, the component map built and the lower
// temperature limit set. The started flag is the first word of the host's
// block DMS_EQLINK; a failed start-up leaves it false so that the next call
// tries again.
#include <array>
#include <string>

#include "castrt_trace.hpp"
#include "eqcore_calls.hpp"
#include "eqlink_blocks.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "report.hpp"
#include "startup.hpp"

namespace eqlink {
namespace {

constexpr ftn::Int kDataUnit = 70;
constexpr ftn::Int kStartupFailed = 8;
constexpr std::string_view kDefaultFile = "EQDATA.CST";
constexpr ftn::Real kLowerTemperatureLimit = 220.0;

constexpr ftn::Int kMsgDefaultFile = 5;
constexpr ftn::Int kMsgTransparentOpen = 7;
constexpr ftn::Int kMsgTransparentRead = 8;
constexpr ftn::Int kMsgTransparentText = 9;
constexpr ftn::Int kMsgAsciiOpen = 10;
constexpr ftn::Int kMsgAsciiRead = 11;
constexpr ftn::Int kMsgAsciiText = 12;
constexpr ftn::Int kMsgExtension = 13;
constexpr ftn::Int kMsgInitialisation = 14;

const std::string kSix(6, ' ');

// What the start-up keeps for the rest of the run.
struct StartupState {
    std::array<ftn::Int, 11> sizes{};  // NA..NK from ECSIZE
    ftn::Int version = 0;
    std::array<char, 3 * 80> error_text{};
};
StartupState state;

const RoutineId& id() {
    static const RoutineId castrt{"CASTRT"};
    return castrt;
}

ftn::Int level() {
    return DMS_GLOBAL[17].i();
}

// The data-file field of EQLINK_CONFIG.
ftn::Chars<kFileNameLength>& file_name() {
    return EQLINK_CONFIG.EQLINK_FILEN;
}
std::string name_part(std::size_t n) {
    return std::string(file_name().full().substr(0, n));
}

void report_initialisation_failure(ftn::Int noerr, ftn::Int step) {
    report(id(), {1, kMsgInitialisation, level()},
           {kSix + "EQCORE ERROR " + fmt90::I(noerr, 5) + " REPORTED DURING",
            kSix + "INITIALIZATION STEP" + fmt90::I(step, 2),
            kSix + "ELVAR/EQCORE INTERFACE TERMINATES"});
}

void report_open_failure(ftn::Int number) {
    report(id(), {-1, number, level()},
           {kSix + "PROBLEM OPENING USER SPECIFIED DATA FILE:", kSix + name_part(70),
            kSix + "DOES NOT EXIST OR DOES NOT END WITH .DAT OR .CST",
            kSix + "ELVAR/EQCORE INTERFACE TERMINATES"});
}

// A failed read: the message, then EQCORE's error text as a second message
// and on the terminal. ECERR gets a status word of its own so that NOERR
// keeps the read's status for the caller.
void report_read_failure(ftn::Int number, ftn::Int text_number, ftn::Int noerr) {
    report(id(), {1, number, level()},
           {kSix + "EQCORE ERROR " + fmt90::I(noerr, 5) + " REPORTED WHILE READING FILE:",
            kSix + name_part(70), kSix + "ELVAR/EQCORE INTERFACE TERMINATES"});
    ftn::Int err_status = 0;
    state.error_text.fill(' ');
    PPSTUB_ECERR(state.error_text.data(), &err_status, 80);
    const std::string_view text(state.error_text.data(), state.error_text.size());
    report(id(), {0, text_number, level()},
           {kSix, text.substr(0, 80), text.substr(80, 80), text.substr(160, 80)});
    terminal({"", text.substr(0, 80), text.substr(80, 80), text.substr(160, 80)});
}

// Steps 1-7: initialise, fix the units and the I/O units. Returns the
// number of the step that failed, 0 when all succeeded.
ftn::Int initialise(ftn::Int& noerr) {
    PPSTUB_ECINI(&noerr);
    if (noerr != 0) return 1;
    PPSTUB_ECVERS(&state.version, &noerr);
    if (noerr != 0) return 2;
    PPSTUB_ECSIZE(state.sizes.data(), &noerr);
    if (noerr != 0) return 3;
    trace_sizes(state.sizes);
    static constexpr std::array<std::array<std::string_view, 2>, 5> kUnits{{{"pressure", "Pa"},
                                                                            {"temperature", "K"},
                                                                            {"volume", "m3"},
                                                                            {"energy", "J"},
                                                                            {"amount", "mol"}}};
    for (const auto& [quantity, unit] : kUnits) {
        PPSTUB_ECUNIT(quantity.data(), unit.data(), &noerr, quantity.size(), unit.size());
        if (noerr != 0) return 4;
    }
    static constexpr std::array<std::string_view, 3> kIoNames{"file", "error", "list"};
    const std::array<ftn::Int, 3> io_units{kDataUnit, 0, 0};
    for (std::size_t s = 0; s < kIoNames.size(); ++s) {
        PPSTUB_ECSIO(kIoNames[s].data(), &io_units[s], &noerr, kIoNames[s].size());
        if (noerr != 0) return static_cast<ftn::Int>(5 + s);
    }
    return 0;
}

// Step 6: the extension, its last four characters upper-cased.
enum class FileKind { ascii, transparent, unknown };
FileKind file_kind() {
    const std::string_view name = file_name().text();
    if (name.size() < 4) return FileKind::unknown;
    std::array<char, 4> ext{};
    name.substr(name.size() - 4).copy(ext.data(), 4);
    const ftn::Int length = 4;
    DMS_STRUPR(ext.data(), &length, ext.size());
    const std::string_view e(ext.data(), ext.size());
    if (e == ".CST") return FileKind::transparent;
    if (e == ".DAT") return FileKind::ascii;
    return FileKind::unknown;
}

// Steps 7-8: open and read the data file. False after reporting a failure.
bool read_data_file(FileKind kind, ftn::Int& IERR, ftn::Int& noerr) {
    const bool ascii = kind == FileKind::ascii;
    const char* name = file_name().c;
    if (ascii) {
        PPSTUB_ECOPTX(name, &kDataUnit, &noerr, kFileNameLength);
        trace({"Using ASCII file " + name_part(50)});
    } else {
        PPSTUB_ECOPBN(name, &kDataUnit, &noerr, kFileNameLength);
        trace({"Using trasparent file " + name_part(50)});
    }
    if (noerr != 0) {
        IERR = kStartupFailed;
        report_open_failure(ascii ? kMsgAsciiOpen : kMsgTransparentOpen);
        return false;
    }
    if (ascii) {
        PPSTUB_ECRDTX(&noerr);
    } else {
        PPSTUB_ECRDBN(&noerr);
    }
    if (noerr != 0) {
        IERR = kStartupFailed;
        if (ascii) {
            report_read_failure(kMsgAsciiRead, kMsgAsciiText, noerr);
        } else {
            report_read_failure(kMsgTransparentRead, kMsgTransparentText, noerr);
        }
        return false;
    }
    if (!ascii && tracing()) trace_transparent_header();
    return true;
}

}  // namespace

void CASTRT(ftn::Int& IERR, ftn::Int& NOERR) {
    IERR = 0;
    NOERR = 0;
    if (ftn::truth(DMS_EQLINK[0].i())) return;

    trace({"In CAStrt"});
    if (const ftn::Int step = initialise(NOERR); step != 0) {
        IERR = kStartupFailed;
        report_initialisation_failure(NOERR, step);
        return;
    }
    trace({"EQCORE initialized without fault."});

    if (file_name().text().empty()) {
        file_name().assign(kDefaultFile);
        report(id(), {3, kMsgDefaultFile, level()},
               {kSix + "EQLINK_FILEN HAS NOT BEEN SET -- ATTEMPT TO USE",
                kSix + "DEFAULT DATA FILE:  EQDATA.CST"});
    }
    const FileKind kind = file_kind();
    if (kind == FileKind::unknown) {
        IERR = kStartupFailed;
        report_open_failure(kMsgExtension);
        return;
    }
    if (!read_data_file(kind, IERR, NOERR)) return;

    PPSTUB_ECCLOS(&kDataUnit, &NOERR);
    trace({"Data file " + name_part(20) + " opened and read without fault."});

    MAPDAT(state.sizes[0], IERR);
    trace({"Data mapped.", ""});

    if (IERR == 0 && NOERR == 0) DMS_EQLINK[0].set_i(ftn::kTrue);

    static constexpr std::string_view kTlow = "TLOW";
    PPSTUB_ECLIM(kTlow.data(), &kLowerTemperatureLimit, &NOERR, kTlow.size());
}

}  // namespace eqlink
