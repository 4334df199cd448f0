#include "unitio.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>

namespace unitio {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct OpenUnit {
    std::unique_ptr<std::FILE, FileCloser> file;
    std::string path;
    Access access;
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

// Opens a file to be replaced as a new file in place of the old one, where
// the old one is a plain file of this user's with no other name: emptying an
// existing file instead makes some file systems force its new data to disk
// when it is closed, so that every rewrite of a small file waited for the
// disk. The old file's permissions are kept. nullptr where this does not
// apply (the caller then empties the file as usual).
std::FILE* open_as_new_file(const std::string& name) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != ::geteuid())
        return nullptr;
    if (::unlink(name.c_str()) != 0) return nullptr;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (fd < 0) return nullptr;
    (void)::fchmod(fd, st.st_mode & 07777);  // exactly the old mode, whatever the umask
    std::FILE* f = ::fdopen(fd, "wb");
    if (f == nullptr) ::close(fd);
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
    std::FILE* f = access == Access::write ? open_as_new_file(name) : nullptr;
    if (f == nullptr) f = std::fopen(name.c_str(), mode_of(access));
    if (f == nullptr) return false;
    table().emplace(unit, OpenUnit{std::unique_ptr<std::FILE, FileCloser>(f), name, access});
    return true;
}

void close(Unit unit) { table().erase(unit); }

bool is_open(Unit unit) { return find(unit) != nullptr; }

std::string path_of(Unit unit) {
    const OpenUnit* u = find(unit);
    return u ? u->path : std::string{};
}

bool write_record(Unit unit, std::string_view record) {
    OpenUnit* u = find(unit);
    if (u == nullptr || u->access == Access::read) return false;
    std::FILE* f = u->file.get();
    if (!record.empty() && std::fwrite(record.data(), 1, record.size(), f) != record.size())
        return false;
    return std::fputc('\n', f) != EOF;
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

void close_all() { table().clear(); }

}  // namespace unitio
