// Entry points for files: data files opened and read on the "file" unit,
// listing files opened and closed. Files go through the process-wide unit
// table; the session itself reads by path.
#include <string>

#include "abi/entry.hpp"
#include "eqcore/eqcore.h"
#include "unitio.hpp"

using namespace eqcore;
using namespace eqcore::abi;

namespace {

void open_on_unit(const char* name, eqcore_len name_len, const eqcore_int* unit, unitio::Access access) {
    const std::string path(text(name, name_len, "name"));
    const eqcore_int u = ref(unit, "unit");
    if (u <= 0) throw Failure(Error::invalid_io_unit, "unit " + std::to_string(u) + " for file '" + path + "'");
    if (path.empty()) throw Failure(Error::cannot_open_file, "the file name is blank (unit " + std::to_string(u) + ")");
    if (!unitio::open(u, path, access))
        throw Failure(Error::cannot_open_file, "file " + shorten_left(path, 56) + " on unit " + std::to_string(u));
}

// The path of the data file open on the "file" unit.
std::string data_file_path(const Session& s) {
    const std::int64_t unit = s.io_unit(IoKind::file);
    if (unit == 0) throw Failure(Error::no_file_open, "the file unit is 0 (set it with ECSIO \"file\")");
    if (!unitio::is_open(unit)) throw Failure(Error::no_file_open, "no file is open on unit " + std::to_string(unit));
    return unitio::path_of(unit);
}

// Closes the "file" unit when the read is over, whatever its outcome, so
// that a failed read can be repeated from a fresh open.
struct CloseAfterRead {
    std::int64_t unit;
    ~CloseAfterRead() { unitio::close(unit); }
};

}  // namespace

extern "C" {

void PPSTUB_ECOPTX(const char* name, const eqcore_int* unit, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] { open_on_unit(name, name_len, unit, unitio::Access::read); });
}

void PPSTUB_ECOPBN(const char* name, const eqcore_int* unit, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] { open_on_unit(name, name_len, unit, unitio::Access::read); });
}

void PPSTUB_ECRDTX(eqcore_int* noerr) {
    entry(noerr, [&] {
        Session& s = session();
        const std::string path = data_file_path(s);
        const CloseAfterRead closer{s.io_unit(IoKind::file)};
        s.read_dat_file(path);
    });
}

void PPSTUB_ECRDBN(eqcore_int* noerr) {
    entry(noerr, [&] {
        Session& s = session();
        const std::string path = data_file_path(s);
        const CloseAfterRead closer{s.io_unit(IoKind::file)};
        s.read_cst_file(path);
    });
}

void PPSTUB_ECBHDR(eqcore_int* format, char* writer, eqcore_int* wver, eqcore_int* minver, eqcore_int* date, char* remarks,
                   eqcore_int* noerr, eqcore_len writer_len, eqcore_len remarks_len) {
    entry(noerr, [&] {
        const CstHeader& h = session().cst_header();
        ref(format, "format");
        ref(wver, "wver");
        ref(minver, "minver");
        ref(date, "date");
        put(writer, writer_len, h.writer, "writer");
        put(remarks, remarks_len, h.remarks, "remarks");
        *format = h.format_version;
        for (std::size_t i = 0; i < 3; ++i) wver[i] = h.writer_version[i];
        for (std::size_t i = 0; i < 3; ++i) minver[i] = h.min_reader_version[i];
        for (std::size_t i = 0; i < 6; ++i) date[i] = h.created[i];
    });
}

void PPSTUB_ECOPEN(const char* name, const eqcore_int* unit, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] { open_on_unit(name, name_len, unit, unitio::Access::write); });
}

void PPSTUB_ECCLOS(const eqcore_int* unit, eqcore_int* noerr) {
    entry(noerr, [&] { unitio::close(ref(unit, "unit")); });
}

}  // extern "C"
