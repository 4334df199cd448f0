// Fortran-style unit numbers shared by the host, EQLINK and the engine's entry
// points: one process-wide table from unit number to open file. It lives in
// its own shared library so that every library of the process sees the same
// table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace unitio {

using Unit = std::int64_t;

enum class Access {
    read,    // an existing file, from its start
    write,   // a new file, or an existing one replaced
    append,  // a new file, or an existing one written after its end
};

enum class ReadStatus { ok, end_of_file, error };

// Opens `path` on `unit`, closing whatever was open there. False when the
// file cannot be opened (the unit is then closed).
bool open(Unit unit, std::string_view path, Access access);
// Closes the unit; closing a unit that is not open does nothing.
void close(Unit unit);
bool is_open(Unit unit);
// The path the unit was opened with, empty when it is not open.
std::string path_of(Unit unit);

// Writes one record (a line; a newline is added). False when the unit is not
// open for writing or the write failed.
bool write_record(Unit unit, std::string_view record);
// Reads one record into `out`, at most `max_chars` characters of it (the rest
// of a longer line is skipped, as a formatted read of a shorter field does).
ReadStatus read_record(Unit unit, std::size_t max_chars, std::string& out);
// Pushes written records to the file.
void flush(Unit unit);
// Closes every unit (end of a run, tests).
void close_all();

}  // namespace unitio
