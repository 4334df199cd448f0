// Reading the solution dictionary. Layout, one record per line: line 1 free
// text; line 2 the number of entries n (free format); lines 3..n+2 one entry
// each, in fixed columns: column 1 the phase kind (1 vapour, 2 liquid,
// 3 solid), columns 6-9 the code, columns 14-37 the data-file phase name.
// Lines after entry n are not read.
//
// The file is read on unit 70, free again once the data file is closed.
// A malformed file or one with more entries than the block holds ends the
// start-up with a message naming the line, so that phases are never given a
// wrong code or kind and nothing is written past the dictionary arrays.
#include "dictionary.hpp"

#include <cstdlib>
#include <string>

#include "eqlink_blocks.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "unitio.hpp"

namespace eqlink {
namespace {

constexpr unitio::Unit kUnit = 70;
constexpr ftn::Len kTopLength = 148;

constexpr ftn::Int kMsgLocal = 26;
constexpr ftn::Int kMsgCannotOpen = 101;
constexpr ftn::Int kMsgMalformed = 102;
constexpr ftn::Int kMsgTooMany = 103;

const std::string kSix(6, ' ');

std::string columns(std::string_view s, std::size_t from, std::size_t n) {
    return from <= s.size() ? std::string(s.substr(from - 1, n)) : std::string();
}

void report_malformed(const RoutineId& id, ftn::Int level, std::string_view path, ftn::Int line,
                      std::string_view problem) {
    report(id, {1, kMsgMalformed, level},
           {kSix + "ERROR READING THE EQCORE SOLUTION DICTIONARY:", kSix + columns(path, 1, 74),
            kSix + "LINE" + fmt90::I(line, 5) + ": " + std::string(problem),
            kSix + "THE ELVAR/EQCORE INTERFACE TERMINATES"});
}

}  // namespace

bool dictionary_count(std::string_view record, ftn::Int& n) {
    const auto first = record.find_first_not_of(" \t");
    if (first == std::string_view::npos) return false;
    const auto last = record.find_first_of(" \t,", first);
    const std::string token(
        record.substr(first, last == std::string_view::npos ? last : last - first));
    char* end = nullptr;
    const long long v = std::strtoll(token.c_str(), &end, 10);
    if (token.empty() || end != token.c_str() + token.size()) return false;
    n = v;
    return true;
}

bool dictionary_entry(std::string_view record, DictionaryEntry& entry) {
    const char kind = record.empty() ? ' ' : record[0];
    if (kind < '1' || kind > '3') return false;
    entry.kind = kind - '0';
    entry.code = columns(record, 6, 4);
    entry.name = columns(record, 14, 24);
    return true;
}

namespace {

// Reads the open file; false after reporting what was wrong.
bool read_entries(const RoutineId& id, ftn::Int level, std::string_view path) {
    std::string record;
    if (unitio::read_record(kUnit, 256, record) != unitio::ReadStatus::ok) {
        report_malformed(id, level, path, 1, "THE FILE IS EMPTY OR CANNOT BE READ");
        return false;
    }
    ftn::Int n = 0;
    const unitio::ReadStatus count_status = unitio::read_record(kUnit, 256, record);
    if (count_status != unitio::ReadStatus::ok || !dictionary_count(record, n)) {
        report_malformed(id, level, path, 2,
                         count_status == unitio::ReadStatus::ok
                             ? "THE NUMBER OF ENTRIES IS NOT AN INTEGER"
                             : "THE NUMBER OF ENTRIES IS MISSING");
        return false;
    }
    if (n < 0) {
        report_malformed(id, level, path, 2, "THE NUMBER OF ENTRIES IS NEGATIVE");
        return false;
    }
    if (n > kMaxDict) {
        report(id, {1, kMsgTooMany, level},
               {kSix + "THE EQCORE SOLUTION DICTIONARY ANNOUNCES" + fmt90::I(n, 10) + " ENTRIES,",
                kSix + "MORE THAN THE" + fmt90::I(kMaxDict, 4) + " IT CAN HOLD:",
                kSix + columns(path, 1, 74), kSix + "THE ELVAR/EQCORE INTERFACE TERMINATES"});
        return false;
    }
    for (ftn::Int m = 1; m <= n; ++m) {
        const ftn::Int line = m + 2;
        if (unitio::read_record(kUnit, 37, record) != unitio::ReadStatus::ok) {
            report_malformed(id, level, path, line,
                             "ENTRY" + fmt90::I(m, 4) + " OF" + fmt90::I(n, 4) + " IS MISSING");
            return false;
        }
        DictionaryEntry entry;
        if (!dictionary_entry(record, entry)) {
            report_malformed(id, level, path, line, "THE PHASE KIND IN COLUMN 1 IS NOT 1, 2 OR 3");
            return false;
        }
        idtype(m) = entry.kind;
        dcode(m).assign(entry.code);
        dname(m).assign(entry.name);
        EQLINK_ELVCA.NDICT = m;
    }
    return true;
}

}  // namespace

std::string installed_dictionary_path() {
    ftn::Chars<kTopLength> top;
    top.assign("");
    DMS_GETELRSYSTOP(top.c, kTopLength);
    return std::string(top.text()) + "/xeq/EQSOLN.TXT";
}

bool load_dictionary(const RoutineId& id, ftn::Int level) {
    std::string path(kDictionaryName);
    if (unitio::open(kUnit, path, unitio::Access::read)) {
        report(id, {4, kMsgLocal, level},
               {kSix + "OPENING A LOCAL EQCORE SOLUTION DICTIONARY (EQSOLN.TXT)"});
    } else {
        path = installed_dictionary_path();
        if (!unitio::open(kUnit, path, unitio::Access::read)) {
            report(id, {1, kMsgCannotOpen, level},
                   {kSix + "ERROR OPENING THE EQCORE SOLUTION DICTIONARY:",
                    kSix + columns(path, 1, 74), kSix + columns(path, 75, 74),
                    kSix + "THE ELVAR/EQCORE INTERFACE TERMINATES"});
            return false;
        }
    }
    EQLINK_ELVCA.NDICT = 0;
    const bool ok = read_entries(id, level, path);
    unitio::close(kUnit);
    return ok;
}

}  // namespace eqlink
