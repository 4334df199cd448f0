#include "unitio.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace unitio {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Stream buffer of a unit, large enough for a whole listing, so that a
// listing reaches its file in one write per flush.
constexpr std::size_t kBufferSize = std::size_t{1} << 16;

struct OpenUnit {
    std::unique_ptr<char[]> buffer;  // declared before `file`: it outlives the stream
    std::unique_ptr<std::FILE, FileCloser> file;
    std::string path;
    Access access;
    // A file written over in place (see open_in_place): its length before,
    // and the bytes written since. What is left of the old contents past
    // the new ones is cut off when the unit closes.
    bool in_place = false;
    std::int64_t old_size = 0;
    std::int64_t written = 0;
};

// The process-wide table. The host, the plug-in and the engine run on one
// thread, one call at a time, so the table needs no lock. It is never
// destroyed: objects that close their units in their destructors may be
// destroyed after it at exit (a host run held in a static), and exit flushes
// every open file anyway.
std::map<Unit, OpenUnit>& table() {
    static auto* units = new std::map<Unit, OpenUnit>;
    return *units;
}

OpenUnit* find(Unit unit) {
    auto it = table().find(unit);
    return it == table().end() ? nullptr : &it->second;
}

// `written` after a failed write: the stream's position tells.
constexpr std::int64_t kUnknown = -1;

// Ends the contents of a file written over in place at what was written.
void cut_old_tail(OpenUnit& u) {
    if (!u.in_place || (u.written != kUnknown && u.written >= u.old_size)) return;
    std::FILE* f = u.file.get();
    if (std::fflush(f) != 0) return;
    const std::int64_t end = u.written != kUnknown ? u.written : static_cast<std::int64_t>(::ftello(f));
    if (end >= 0 && end < u.old_size && ::ftruncate(::fileno(f), static_cast<off_t>(end)) == 0) u.old_size = end;
}

// Units still open when the process exits are flushed by exit; their old
// tails are cut off first.
void cut_old_tails_at_exit() {
    for (auto& [unit, u] : table()) cut_old_tail(u);
}

// Opens an existing plain file to be written anew, in place: its contents
// are overwritten from the start and the old rest is cut off when the unit
// closes. Neither emptying the file at once (some file systems then force
// its new data to disk when it is closed, so that every rewrite of a small
// file waited for the disk) nor replacing it by a new file (the file system
// then looks for a free inode past every recently deleted one, which grows
// with every rewrite) is cheap; writing over it keeps the file, its mode
// and every name it has. nullptr where this does not apply (no such file,
// not a plain file, not readable); the caller then opens it as usual.
std::FILE* open_in_place(const std::string& name, std::int64_t& old_size) {
    std::FILE* f = std::fopen(name.c_str(), "r+b");
    if (f == nullptr) return nullptr;
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    old_size = static_cast<std::int64_t>(st.st_size);
    static const bool registered = std::atexit(cut_old_tails_at_exit) == 0;
    (void)registered;
    return f;
}

const char* mode_of(Access access) {
    switch (access) {
        case Access::read: return "rb";
        case Access::write: return "wb";
        case Access::append: return "ab";
    }
    return "rb";
}

}  // namespace

bool open(Unit unit, std::string_view path, Access access) {
    close(unit);
    std::string name(path);
    std::int64_t old_size = 0;
    std::FILE* f = access == Access::write ? open_in_place(name, old_size) : nullptr;
    const bool in_place = f != nullptr;
    if (f == nullptr) f = std::fopen(name.c_str(), mode_of(access));
    if (f == nullptr) return false;
    OpenUnit u{std::make_unique_for_overwrite<char[]>(kBufferSize), std::unique_ptr<std::FILE, FileCloser>(f),
               std::move(name), access};
    std::setvbuf(f, u.buffer.get(), _IOFBF, kBufferSize);
    u.in_place = in_place;
    u.old_size = old_size;
    table().insert_or_assign(unit, std::move(u));
    return true;
}

void close(Unit unit) {
    auto it = table().find(unit);
    if (it == table().end()) return;
    cut_old_tail(it->second);
    table().erase(it);
}

bool is_open(Unit unit) { return find(unit) != nullptr; }

std::string path_of(Unit unit) {
    const OpenUnit* u = find(unit);
    return u ? u->path : std::string{};
}

bool write_record(Unit unit, std::string_view record) {
    OpenUnit* u = find(unit);
    if (u == nullptr || u->access == Access::read) return false;
    std::FILE* f = u->file.get();
    if (!record.empty() && std::fwrite(record.data(), 1, record.size(), f) != record.size()) {
        u->written = kUnknown;
        return false;
    }
    if (std::fputc('\n', f) == EOF) {
        u->written = kUnknown;
        return false;
    }
    if (u->written != kUnknown) u->written += static_cast<std::int64_t>(record.size()) + 1;
    return true;
}

ReadStatus read_record(Unit unit, std::size_t max_chars, std::string& out) {
    out.clear();
    OpenUnit* u = find(unit);
    if (u == nullptr || u->access != Access::read) return ReadStatus::error;
    std::FILE* f = u->file.get();
    int c = std::fgetc(f);
    if (c == EOF) return std::ferror(f) ? ReadStatus::error : ReadStatus::end_of_file;
    // A record ends at LF; a CR just before it belongs to the line end, not
    // to the text. Characters past `max_chars` are read and dropped.
    std::size_t length = 0;  // of the whole line
    int last = EOF;
    while (c != EOF && c != '\n') {
        if (out.size() < max_chars) out.push_back(static_cast<char>(c));
        ++length;
        last = c;
        c = std::fgetc(f);
    }
    if (c == EOF && std::ferror(f)) return ReadStatus::error;
    if (last == '\r' && out.size() == length) out.pop_back();
    return ReadStatus::ok;
}

void flush(Unit unit) {
    if (OpenUnit* u = find(unit)) std::fflush(u->file.get());
}

void close_all() {
    for (auto& [unit, u] : table()) cut_old_tail(u);
    table().clear();
}

}  // namespace unitio
