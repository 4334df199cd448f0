// Trace prints of the start-up.
#include "castrt_trace.hpp"

#include <string>

#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "report.hpp"

namespace eqlink {
namespace {

// A text printed without its trailing blanks keeps at least its first character.
std::string shown(std::string_view field) {
    const std::string_view t = ftn::trim_right(field);
    return std::string(t.empty() ? field.substr(0, 1) : t);
}

std::string version(const ftn::Int (&v)[3]) {
    return fmt90::I(v[0], 6) + "." + fmt90::I(v[1], 6) + "." + fmt90::I(v[2], 6);
}

}  // namespace

void trace_sizes(const std::array<ftn::Int, 11>& s) {
    if (!tracing()) return;
    const std::string indent(13, ' ');
    trace({"From ECSIZE: NA = " + fmt90::I(s[0], 5) + "  NB = " + fmt90::I(s[1], 5) + "  NC = " +
               fmt90::I(s[2], 5) + "  ND = " + fmt90::I(s[3], 5) + "  NE = " + fmt90::I(s[4], 5),
           indent + "NF = " + fmt90::I(s[5], 5) + "  NG = " + fmt90::I(s[6], 5) + "  NH = " +
               fmt90::I(s[7], 5) + "  NI = " + fmt90::I(s[8], 5) + "  NJ = " + fmt90::I(s[9], 5),
           indent + "NK = " + fmt90::I(s[10], 5)});
}

void trace_transparent_header() {
    ftn::Int format = 0;
    ftn::Chars<40> writer;
    writer.assign("");
    ftn::Int writer_version[3] = {0, 0, 0};
    ftn::Int reader_version[3] = {0, 0, 0};
    ftn::Int date[6] = {0, 0, 0, 0, 0, 0};
    ftn::Chars<80> remarks;
    remarks.assign("");
    ftn::Int status = 0;
    PPSTUB_ECBHDR(&format, writer.c, writer_version, reader_version, date, remarks.c, &status,
                  writer.size(), remarks.size());
    trace({"Transparent file header version number: " + fmt90::I(format, 6),
           "Name of the program which wrote the data-file: " + shown(writer.full()),
           "Version number of the writing program: " + version(writer_version),
           "Min. version number of the reading program: " + version(reader_version),
           "File was created on " + fmt90::I(date[0], 4, 4) + "/" + fmt90::I(date[1], 2, 2) + "/" +
               fmt90::I(date[2], 2, 2) + " " + fmt90::I(date[3], 2, 2) + ":" +
               fmt90::I(date[4], 2, 2) + ":" + fmt90::I(date[5], 2, 2),
           "Remarks: " + shown(remarks.full())});
}

}  // namespace eqlink
