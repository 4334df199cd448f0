// Calls of the engine's entry points as a Fortran caller makes them: every
// argument by reference, character fields as blank-padded buffers of a given
// length (not NUL-terminated) with their hidden lengths last.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "eqcore_calls.hpp"

namespace ectest {

using ftn::Int;
using ftn::Real;

// A blank-padded field of exactly `n` characters (truncated if longer).
inline std::string field(std::string_view text, std::size_t n) {
    std::string f(n, ' ');
    f.replace(0, std::min(n, text.size()), text.substr(0, std::min(n, text.size())));
    return f;
}

inline std::string trim(std::string_view s) {
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string{} : std::string(s.substr(0, end + 1));
}

inline Int ecini() {
    Int e = -1;
    PPSTUB_ECINI(&e);
    return e;
}
inline Int ecunit(std::string q, std::string u) {
    Int e = -1;
    PPSTUB_ECUNIT(q.data(), u.data(), &e, q.size(), u.size());
    return e;
}
inline Int ecsio(std::string which, Int unit) {
    Int e = -1;
    PPSTUB_ECSIO(which.data(), &unit, &e, which.size());
    return e;
}
inline Int ecoptx(std::string name, Int unit) {
    Int e = -1;
    PPSTUB_ECOPTX(name.data(), &unit, &e, name.size());
    return e;
}
inline Int ecrdtx() {
    Int e = -1;
    PPSTUB_ECRDTX(&e);
    return e;
}
inline Int ecclos(Int unit) {
    Int e = -1;
    PPSTUB_ECCLOS(&unit, &e);
    return e;
}
inline Int eclim(std::string name, Real v) {
    Int e = -1;
    PPSTUB_ECLIM(name.data(), &v, &e, name.size());
    return e;
}
inline Int ecspc(Int phase, Int constituent, std::string status) {
    Int e = -1;
    PPSTUB_ECSCS(&phase, &constituent, status.data(), &e, status.size());
    return e;
}
inline Int ecsps(Int phase, std::string status) {
    Int e = -1;
    PPSTUB_ECSPS(&phase, status.data(), &e, status.size());
    return e;
}
inline std::string ecgps(Int phase, Int* err = nullptr) {
    std::string s(24, '?');
    Int e = -1;
    PPSTUB_ECGPS(&phase, s.data(), &e, s.size());
    if (err) *err = e;
    return s;
}
inline Int ecstdf(std::string stream, Real T, Real P) {
    Int e = -1;
    const Real tp[2] = {T, P};
    PPSTUB_ECSTDF(stream.data(), tp, &e, stream.size());
    return e;
}
inline Int ecstam(std::string stream, Int phase, Int constituent, Real amount) {
    Int e = -1;
    PPSTUB_ECSTAM(stream.data(), &phase, &constituent, &amount, &e, stream.size());
    return e;
}
// The property, or NaN when the call failed (its status in *err).
inline Real ecstpr(std::string stream, std::string property, Int* err = nullptr) {
    Int e = -1;
    Real v = std::numeric_limits<Real>::quiet_NaN();
    PPSTUB_ECSTPR(stream.data(), property.data(), &v, &e, stream.size(), property.size());
    if (err) *err = e;
    return e == 0 ? v : std::numeric_limits<Real>::quiet_NaN();
}
inline Int ecstdl(std::string stream) {
    Int e = -1;
    PPSTUB_ECSTDL(stream.data(), &e, stream.size());
    return e;
}
// ECERR's three lines, trailing blanks removed.
inline std::array<std::string, 3> ecerr() {
    std::string buf(240, '?');
    Int e = -1;
    PPSTUB_ECERR(buf.data(), &e, 80);
    EXPECT_EQ(e, 0);
    return {trim(buf.substr(0, 80)), trim(buf.substr(80, 80)), trim(buf.substr(160, 80))};
}

inline std::string example(const char* name) { return std::string(EQLINK_EXAMPLES_DIR) + "/" + name; }

// Loads a data file as the start-up of EQLINK does: file unit 70, open, read,
// close. Returns the status of the read.
inline Int load(const std::string& path) {
    EXPECT_EQ(ecsio("file", 70), 0);
    const Int open = ecoptx(field(path, 256), 70);
    if (open != 0) return open;
    const Int read = ecrdtx();
    ecclos(70);
    return read;
}

// Every test starts from a fresh engine session and gets its own
// temporary directory for the files it writes.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ecini(), 0);
        std::string tmpl = (std::filesystem::temp_directory_path() / "eqsession-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string file(const char* name, std::string_view content) const {
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << content;
        return path;
    }
    std::filesystem::path dir_;
};

}  // namespace ectest
