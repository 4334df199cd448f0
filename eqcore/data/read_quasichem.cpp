// The SUBG / SUBQ block, record by record. Every check names the phase and
// the record (end member, coordination record, excess record, override
// line) and the line it stands on; what the format leaves unsettled (term
// kinds B and R with coefficients, ternary constituents on the anion
// sublattice, letters other than K in override lines, coefficients 5 and 6)
// is refused, never read as something else.
#include "data/read_quasichem.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "data/limits.hpp"
#include "data/override_line.hpp"
#include "data/read_dat.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

std::string num(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

std::string joined(const std::vector<std::string_view>& tokens) {
    std::string s;
    for (std::string_view t : tokens) {
        if (!s.empty()) s += ' ';
        s += t;
    }
    return s;
}

bool same_rel(double a, double b) { return std::abs(a - b) <= 1e-6 * std::max(std::abs(a), std::abs(b)); }

class BlockReader {
public:
    BlockReader(Lexer& lex, const std::string& phase, bool subq, const QuasichemBlockReader& io)
        : lex_(lex), P_(phase), io_(io) {
        d_.quadruplet = subq;
    }
    QuasichemData read(int header_count, int counts_line, std::vector<Constituent>& end_members);

private:
    [[noreturn]] void fail(const std::string& text) {
        lex_.set_context({});
        lex_.fail(text);
    }
    [[noreturn]] void fail_at(int line, const std::string& text) {
        lex_.set_context({});
        lex_.fail_at(line, text);
    }
    int integer(const std::string& field) { return static_cast<int>(lex_.integer(field)); }
    void read_end_members(int nsp, std::vector<Constituent>& out);
    std::vector<std::string> read_names(int n, const char* kind);
    void read_ions(int nsp, const std::vector<Constituent>& em);
    void read_coordination(int nz);
    bool read_term(int k);
    void read_overrides(int n);

    Lexer& lex_;
    const std::string& P_;
    const QuasichemBlockReader& io_;
    QuasichemData d_;
};

QuasichemData BlockReader::read(int header_count, int counts_line, std::vector<Constituent>& end_members) {
    const std::string label = "phase " + P_;
    double zeta = 0.0;
    if (!d_.quadruplet) {
        const std::vector<std::string_view> t = split_tokens(lex_.text_line("ζ after the model code"));
        if (!parse_real(t.front(), zeta) || !(zeta > 0.0) || !std::isfinite(zeta))
            fail(label + " (SUBG): expected ζ (one positive real) after the model code, found '" +
                 std::string(t.front()) + "'");
    }
    const std::vector<std::string_view> counts = split_tokens(lex_.text_line("the end-member and coordination counts"));
    long long nsp = 0, nz = 0;
    if (counts.size() < 2 || !parse_integer(counts[0], nsp) || !parse_integer(counts[1], nz) || nsp < 1 || nz < 1 ||
        nsp > limits::kConstituentsPerMixture || nz > 100000)
        fail(label + ": expected 'nEndMembers nCoordinationRecords' (positive integers), found '" + joined(counts) +
             "'");
    const std::size_t first = end_members.size();
    read_end_members(static_cast<int>(nsp), end_members);
    if (!d_.quadruplet) d_.zeta.assign(sz(static_cast<int>(nsp)), zeta);

    lex_.set_context(label);
    const long long ncat = lex_.integer("number of cations"), nan = lex_.integer("number of anions");
    lex_.end_record();
    if (ncat < 1 || nan < 1 || ncat > limits::kConstituentsPerMixture || nan > limits::kConstituentsPerMixture ||
        ncat * nan != nsp)
        fail(label + ": " + std::to_string(nsp) + " end members for " + std::to_string(ncat) + " cations × " +
             std::to_string(nan) + " anions (must be equal)");
    const long long K = ncat * (ncat + 1) / 2 * (nan * (nan + 1) / 2);
    if (K != header_count)
        fail_at(counts_line, label + ": header count " + std::to_string(header_count) +
                                      " differs from the number of quadruplets " + std::to_string(K) + " = " +
                                      std::to_string(ncat) + "(" + std::to_string(ncat) + "+1)/2·" +
                                      std::to_string(nan) + "(" + std::to_string(nan) + "+1)/2");
    d_.cation = read_names(static_cast<int>(ncat), "cation");
    d_.anion = read_names(static_cast<int>(nan), "anion");
    read_ions(static_cast<int>(nsp),
              std::vector<Constituent>(end_members.begin() + static_cast<std::ptrdiff_t>(first), end_members.end()));
    read_coordination(static_cast<int>(nz));
    for (int k = 1;; ++k) {
        if (k > limits::kExcessParameters) fail(label + ": more than " + std::to_string(limits::kExcessParameters) + " excess records");
        if (!read_term(k)) break;
    }
    return std::move(d_);
}

void BlockReader::read_end_members(int nsp, std::vector<Constituent>& out) {
    for (int m = 0; m < nsp; ++m) {
        Constituent c = io_.species();
        const std::string label = "phase " + P_ + ", end member " + c.name;
        lex_.set_context(label);
        std::array<double, 5> r{};
        for (int k = 0; k < 5; ++k) {
            r[sz(k)] = lex_.real("real", k + 1);
            if (!std::isfinite(r[sz(k)])) lex_.fail("real " + std::to_string(k + 1) + ": not finite");
        }
        lex_.end_record();
        const int line = lex_.line();
        if (!(r[0] > 0.0) || !(r[1] > 0.0))
            fail(label + ": ν_A and ν_X must be positive, found " + num(r[0]) + " " + num(r[1]));
        if (r[2] != 0.0 || r[3] != 0.0 || r[4] != 0.0)
            io_.warn(line, label + ": unused reals r3..r5 non-zero (" + num(r[2]) + " " + num(r[3]) + " " +
                               num(r[4]) + "), ignored");
        d_.nu_cation.push_back(r[0]);
        d_.nu_anion.push_back(r[1]);
        d_.em_unused.push_back({r[2], r[3], r[4]});
        if (d_.quadruplet) {
            lex_.set_context(label);
            const double z = lex_.real("ζ");
            lex_.end_record();
            if (!(z > 0.0) || !std::isfinite(z)) fail(label + ": ζ must be positive, found " + num(z));
            d_.zeta.push_back(z);
        }
        out.push_back(std::move(c));
    }
}

std::vector<std::string> BlockReader::read_names(int n, const char* kind) {
    const std::string what = std::string(kind) + " names";
    std::vector<std::string> names;
    int first_line = 0;
    while (static_cast<int>(names.size()) < n) {
        lex_.set_context("phase " + P_);
        const std::vector<std::string_view> t = split_tokens(lex_.text_line(what));
        if (first_line == 0) first_line = lex_.line();
        for (std::string_view s : t) names.emplace_back(s);
    }
    if (static_cast<int>(names.size()) != n)
        fail_at(first_line, "phase " + P_ + ": expected " + std::to_string(n) + " " + what + ", found " +
                                     std::to_string(names.size()));
    for (std::size_t a = 0; a < names.size(); ++a)
        for (std::size_t b = 0; b < a; ++b)
            if (names[a] == names[b])
                fail_at(first_line, "phase " + P_ + ": " + kind + " name '" + names[a] + "' appears twice");
    return names;
}

void BlockReader::read_ions(int nsp, const std::vector<Constituent>& em) {
    const std::string label = "phase " + P_;
    const int ncat = d_.cations(), nan = d_.anions();
    auto charges = [&](int n, const std::vector<std::string>& names, const char* kind) {
        lex_.set_context(label);
        std::vector<double> q;
        for (int i = 0; i < n; ++i) {
            const double v = lex_.real(std::string(kind) + " charge", i + 1);
            if (!std::isfinite(v)) lex_.fail(std::string(kind) + " charge " + std::to_string(i + 1) + ": not finite");
            if (v == 0.0) fail(label + ": charge of " + names[sz(i)] + " is zero");
            q.push_back(std::abs(v));
        }
        lex_.end_record();
        return q;
    };
    auto groups = [&](int n, const char* kind) {
        lex_.set_context(label);
        std::vector<int> g;
        for (int i = 0; i < n; ++i) g.push_back(integer(std::string(kind) + " group " + std::to_string(i + 1)));
        lex_.end_record();
        return g;
    };
    d_.cation_charge = charges(ncat, d_.cation, "cation");
    d_.cation_group = groups(ncat, "cation");
    d_.anion_charge = charges(nan, d_.anion, "anion");
    d_.anion_group = groups(nan, "anion");
    auto indices = [&](int n, int hi, const char* kind, std::vector<int>& out) {
        lex_.set_context(label);
        for (int m = 0; m < nsp; ++m) {
            const long long v = lex_.integer(std::string(kind) + " index of end member", m + 1);
            if (v < 1 || v > hi)
                fail(label + ": end member " + em[sz(m)].name + " has " + kind + " index " + std::to_string(v) +
                     " outside 1.." + std::to_string(hi));
            out.push_back(static_cast<int>(v) - 1);
        }
        lex_.end_record();
        (void)n;
    };
    indices(nsp, ncat, "cation", d_.em_cation);
    indices(nsp, nan, "anion", d_.em_anion);
    for (int c = 0; c < ncat; ++c)
        for (int a = 0; a < nan; ++a) {
            int n = 0;
            for (int m = 0; m < nsp; ++m) n += d_.em_cation[sz(m)] == c && d_.em_anion[sz(m)] == a ? 1 : 0;
            if (n != 1)
                fail(label + ": cation " + d_.cation[sz(c)] + " and anion " + d_.anion[sz(a)] +
                     " have no end member (or more than one)");
        }
    for (int m = 0; m < nsp; ++m) {
        const double v1 = d_.nu_cation[sz(m)] * d_.cation_charge[sz(d_.em_cation[sz(m)])];
        const double v2 = d_.nu_anion[sz(m)] * d_.anion_charge[sz(d_.em_anion[sz(m)])];
        if (!same_rel(v1, v2))
            fail(label + ", end member " + em[sz(m)].name + ": ν_A·q_A = " + num(v1) + " but ν_X·q_X = " + num(v2));
    }
}

void BlockReader::read_coordination(int nz) {
    const std::string label = "phase " + P_;
    const int ncat = d_.cations(), nan = d_.anions();
    auto charge = [&](int ion) { return ion < ncat ? d_.cation_charge[sz(ion)] : d_.anion_charge[sz(ion - ncat)]; };
    for (int k = 1; k <= nz; ++k) {
        const std::string rl = label + ", coordination record " + std::to_string(k);
        lex_.set_context(rl);
        QuasichemCoordination c;
        std::array<long long, 4> ix{};
        for (int i = 0; i < 4; ++i) ix[sz(i)] = lex_.integer("index", i + 1);
        for (int i = 0; i < 4; ++i) c.z[sz(i)] = lex_.real("Z", i + 1);
        lex_.end_record();
        for (int i = 0; i < 4; ++i) {
            const bool cation = i < 2;
            const long long lo = cation ? 1 : ncat + 1, hi = cation ? ncat : ncat + nan;
            if (ix[sz(i)] < lo || ix[sz(i)] > hi)
                fail(rl + ": index " + std::to_string(ix[sz(i)]) + " is not " + (cation ? "a cation" : "an anion") +
                     " index");
            c.ion[sz(i)] = static_cast<int>(ix[sz(i)]) - 1;
        }
        for (double z : c.z)
            if (!(z > 0.0) || !std::isfinite(z)) fail(rl + ": Z must be positive, found " + num(z));
        // The same quadruplet written with its positions the other way
        // round: indices and coordination numbers swap together.
        if (c.ion[0] > c.ion[1]) {
            std::swap(c.ion[0], c.ion[1]);
            std::swap(c.z[0], c.z[1]);
        }
        if (c.ion[2] > c.ion[3]) {
            std::swap(c.ion[2], c.ion[3]);
            std::swap(c.z[2], c.z[3]);
        }
        const std::string abxy = std::to_string(c.ion[0] + 1) + " " + std::to_string(c.ion[1] + 1) + " " +
                                 std::to_string(c.ion[2] + 1) + " " + std::to_string(c.ion[3] + 1);
        const double lhs = charge(c.ion[0]) / c.z[0] + charge(c.ion[1]) / c.z[1];
        const double rhs = charge(c.ion[2]) / c.z[2] + charge(c.ion[3]) / c.z[3];
        if (!same_rel(lhs, rhs))
            fail(label + ", coordination record " + abxy + ": not charge-neutral (" + num(lhs) + " vs " + num(rhs) + ")");
        for (const QuasichemCoordination& o : d_.coordination)
            if (o.ion == c.ion) fail(label + ": coordination numbers for quadruplet " + abxy + " given twice");
        d_.coordination.push_back(c);
    }
    for (int a = 0; a < ncat; ++a)
        for (int x = ncat; x < ncat + nan; ++x) {
            const std::array<int, 4> pure{a, a, x, x};
            bool found = false;
            for (const QuasichemCoordination& o : d_.coordination) found = found || o.ion == pure;
            if (!found)
                fail(label + ": no coordination record for pure quadruplet " + std::to_string(a + 1) + " " +
                     std::to_string(a + 1) + " " + std::to_string(x + 1) + " " + std::to_string(x + 1));
        }
}

// One excess record, or the end of the list (false).
bool BlockReader::read_term(int k) {
    const std::string rl = "phase " + P_ + ", excess record " + std::to_string(k);
    lex_.set_context(rl);
    const long long n = lex_.integer("number of constituents");
    lex_.end_record();
    if (n == 0) return false;
    if (n < 0) {
        if (n < -1000) fail(rl + ": expected 3 or 4, or a terminator 0 or -n, found " + std::to_string(n));
        read_overrides(static_cast<int>(-n));
        return false;
    }
    if (n != 3 && n != 4) fail(rl + ": expected 3 or 4, found " + std::to_string(n));
    const std::vector<std::string_view> t = split_tokens(lex_.text_line("the term kind and indices"));
    const int kind_line = lex_.line();
    const std::string kind(t.front());
    if (kind.size() != 1 || std::string("GQBR").find(static_cast<char>(std::toupper(static_cast<unsigned char>(kind[0])))) == std::string::npos)
        fail(rl + ": unknown term kind '" + kind + "'");
    QuasichemTerm term;
    term.kind = static_cast<char>(std::toupper(static_cast<unsigned char>(kind[0])));
    if (t.size() != 9) fail(rl + ": expected the term kind and 8 integers, found '" + joined(t) + "'");
    std::array<long long, 8> v{};
    for (std::size_t i = 0; i < 8; ++i)
        if (!parse_integer(t[i + 1], v[i])) fail(rl + ": expected an integer, found '" + std::string(t[i + 1]) + "'");
    lex_.set_context(rl);
    for (int i = 0; i < 12; ++i) {
        term.unused[sz(i)] = lex_.real("real", i + 1);
        if (i == 5) lex_.end_record();
    }
    lex_.end_record();
    const long long j1 = lex_.integer("ternary constituent", 1), j2 = lex_.integer("ternary constituent", 2);
    std::array<double, 6> c{};
    for (int i = 0; i < 6; ++i) {
        c[sz(i)] = lex_.real("coefficient", i + 1);
        if (!std::isfinite(c[sz(i)])) lex_.fail("coefficient " + std::to_string(i + 1) + ": not finite");
    }
    lex_.end_record();
    const std::string head = rl + " (" + std::string(1, term.kind) + " " + std::to_string(v[0]) + " " +
                             std::to_string(v[1]) + " " + std::to_string(v[2]) + " " + std::to_string(v[3]) + ")";
    const bool zero = std::all_of(c.begin(), c.end(), [](double x) { return x == 0.0; });
    if (term.kind == 'R' && zero) {
        io_.warn(kind_line, rl + ": reciprocal term with zero coefficients ignored");
        return true;
    }
    if (term.kind == 'B' || term.kind == 'R') fail(rl + ": term kind " + std::string(1, term.kind) + " not supported");
    const int ncat = d_.cations(), nan = d_.anions();
    for (int i = 0; i < 4; ++i) {
        const bool cation = i < 2;
        const long long lo = cation ? 1 : ncat + 1, hi = cation ? ncat : ncat + nan;
        if (v[sz(i)] < lo || v[sz(i)] > hi)
            fail_at(kind_line, rl + ": index " + std::to_string(v[sz(i)]) + " is not " +
                                        (cation ? "a cation" : "an anion") + " index");
        term.ion[sz(i)] = static_cast<int>(v[sz(i)]) - 1;
    }
    const bool cation_mix = term.ion[0] != term.ion[1] && term.ion[2] == term.ion[3];
    const bool anion_mix = term.ion[0] == term.ion[1] && term.ion[2] != term.ion[3];
    if (n != 3 || !(cation_mix || anion_mix))
        fail_at(kind_line, head + ": a " + std::string(1, term.kind) + " term must mix on exactly one sublattice");
    const std::string ex = std::to_string(v[4]) + " " + std::to_string(v[5]) + " " + std::to_string(v[6]) + " " +
                           std::to_string(v[7]);
    if (v[4] < 0 || v[5] < 0 || v[4] > 100 || v[5] > 100)
        fail_at(kind_line, rl + ": exponents " + ex + " invalid (the powers p, q must be 0 to 100)");
    const bool ternary = j1 != 0 || j2 != 0;
    if (ternary != (v[6] >= 1) || v[6] < 0 || v[6] > 100)
        fail_at(kind_line, rl + ": exponents " + ex +
                                    " invalid (the third, r, is at least 1 for a ternary term and 0 otherwise)");
    if (v[7] != 0) io_.warn(kind_line, rl + ": exponents " + ex + ": the fourth is unused and not 0; ignored");
    if (j2 != 0) fail(rl + ": ternary constituent on the anion sublattice not supported");
    if (j1 != 0) {
        if (j1 < 0 || j1 > ncat || j1 - 1 == term.ion[0] || j1 - 1 == term.ion[1])
            fail(rl + ": ternary constituent " + std::to_string(j1) + " invalid");
        if (anion_mix) fail(rl + ": ternary term on an anion-sublattice binary not supported");
        term.ternary = static_cast<int>(j1) - 1;
    }
    if (c[4] != 0.0 || c[5] != 0.0)
        fail(rl + ": coefficients 5 and 6 must be 0 (meaning not settled), found " + num(c[4]) + " " + num(c[5]));
    term.p = static_cast<int>(v[4]);
    term.q = static_cast<int>(v[5]);
    term.r = static_cast<int>(v[6]);
    term.e4 = static_cast<int>(v[7]);
    std::copy(c.begin(), c.begin() + 4, term.coef.begin());
    if (anion_mix && (term.kind == 'Q' || term.p + term.q > 0))
        io_.warn(kind_line, rl + " (" + std::string(1, term.kind) +
                                " term on the anion sublattice with exponents " + ex +
                                "): not verified against an independent implementation");
    d_.terms.push_back(term);
    return true;
}

void BlockReader::read_overrides(int n) {
    const int ncat = d_.cations(), nan = d_.anions();
    for (int k = 1; k <= n; ++k) {
        const std::string rl = "phase " + P_ + ", interpolation override " + std::to_string(k);
        lex_.set_context(rl);
        OverrideLine line;
        const std::string fault = read_override_line(lex_.text_line("an interpolation override line"), line);
        if (!fault.empty()) fail(rl + ": " + fault);
        const auto [i, j, kk] = line.ternary;
        const long long s = line.partner;
        const bool cations_ok = i >= 1 && i <= ncat && j >= 1 && j <= ncat && kk >= 1 && kk <= ncat && i != j &&
                                i != kk && j != kk;
        const bool anion_ok = s == 0 || (s > ncat && s <= ncat + nan);
        if (!cations_ok || !anion_ok) fail(rl + ": indices " + line.items + " invalid");
        QuasichemKohler o;
        o.cation = {static_cast<int>(i) - 1, static_cast<int>(j) - 1, static_cast<int>(kk) - 1};
        o.anion = s == 0 ? -1 : static_cast<int>(s) - 1;
        d_.kohler.push_back(o);
    }
}

}  // namespace

QuasichemData read_quasichem(Lexer& lex, const std::string& phase, bool subq, int header_count, int counts_line,
                             const QuasichemBlockReader& io, std::vector<Constituent>& end_members) {
    BlockReader r(lex, phase, subq, io);
    return r.read(header_count, counts_line, end_members);
}

}  // namespace eqcore
