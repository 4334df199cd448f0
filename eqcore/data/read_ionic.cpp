#include "data/read_ionic.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "data/limits.hpp"
#include "data/read_dat.hpp"
#include "thermo/standard.hpp"

namespace eqcore {

namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

std::string fmt(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

bool is_vacancy_name(const std::string& s) {
    return s.size() == 2 && std::toupper(static_cast<unsigned char>(s[0])) == 'V' &&
           std::toupper(static_cast<unsigned char>(s[1])) == 'A';
}

class SubiReader {
public:
    explicit SubiReader(const IonicBlock& b) : b_(b), lex_(b.lex), P_(b.phase) {}

    IonicLiquid read() {
        lex_.set_context("phase " + P_ + " (SUBI)");
        const long long nc = lex_.integer("number of cations");
        const long long n2 = lex_.integer("number of species on sublattice 2");
        const int line = lex_.line();
        if (nc < 1 || nc > limits::kConstituentsPerMixture)
            fail(line, "phase " + P_ + " (SUBI): expected 1 to " + std::to_string(limits::kConstituentsPerMixture) +
                           " names on sublattice 1, found " + std::to_string(nc));
        if (n2 < 1 || n2 > limits::kConstituentsPerMixture)
            fail(line, "phase " + P_ + " (SUBI): expected 1 to " + std::to_string(limits::kConstituentsPerMixture) +
                           " names on sublattice 2, found " + std::to_string(n2));
        lex_.end_record();
        liq_.cation = read_names(static_cast<int>(nc), 1);
        liq_.site2 = read_names(static_cast<int>(n2), 2);
        lex_.set_context("phase " + P_ + " (SUBI)");
        const long long nsub = lex_.integer("number of sublattices");
        if (nsub != 2) fail(lex_.line(), "phase " + P_ + " (SUBI): sublattice count " + std::to_string(nsub) + ", expected 2");
        lex_.end_record();
        read_charges();
        read_record_indices();
        check_records();
        read_excess();
        return std::move(liq_);
    }

private:
    [[noreturn]] void fail(int line, const std::string& message) {
        lex_.set_context({});
        lex_.fail_at(line, message);
    }

    std::vector<std::string> read_names(int n, int s) {
        std::vector<std::string> names;
        int first = 0;
        while (static_cast<int>(names.size()) < n) {
            const std::string_view line = lex_.text_line("the names of sublattice " + std::to_string(s));
            if (first == 0) first = lex_.line();
            const std::vector<std::string_view> tokens = split_tokens(line);
            // A line of numbers is the next record: the names ran out.
            bool numbers = !tokens.empty();
            double v = 0.0;
            for (std::string_view t : tokens) numbers = numbers && parse_real(t, v);
            if (numbers) break;
            for (std::string_view t : tokens) names.emplace_back(t);
        }
        if (static_cast<int>(names.size()) != n)
            fail(first, "phase " + P_ + " (SUBI): expected " + std::to_string(n) + " names on sublattice " +
                            std::to_string(s) + ", found " + std::to_string(names.size()));
        for (std::size_t a = 0; a < names.size(); ++a)
            for (std::size_t c = 0; c < a; ++c)
                if (names[a] == names[c])
                    fail(first, "phase " + P_ + ": name '" + names[a] + "' appears twice on sublattice " + std::to_string(s));
        return names;
    }

    void read_charges() {
        lex_.set_context("phase " + P_ + " (SUBI)");
        for (std::size_t i = 0; i < liq_.cation.size(); ++i) {
            const double q = lex_.real("cation charge", static_cast<int>(i + 1));
            if (!(q > 0.0) || !std::isfinite(q))
                fail(lex_.line(), "phase " + P_ + ": charge " + fmt(q) + " of cation " + liq_.cation[i] + " must be positive");
            liq_.cation_charge.push_back(q);
        }
        lex_.end_record();
        for (std::size_t s = 0; s < liq_.site2.size(); ++s) {
            const double q = lex_.real("sublattice-2 charge", static_cast<int>(s + 1));
            if (!std::isfinite(q)) fail(lex_.line(), "phase " + P_ + ": charge of " + liq_.site2[s] + " is not finite");
            if (is_vacancy_name(liq_.site2[s])) {
                if (liq_.vacancy >= 0) fail(lex_.line(), "phase " + P_ + ": more than one vacancy");
                liq_.vacancy = static_cast<int>(s);
            } else if (q > 0.0) {
                fail(lex_.line(), "phase " + P_ + ": anion " + liq_.site2[s] + " has charge " + fmt(q));
            }
            liq_.site2_charge.push_back(q);
        }
        lex_.end_record();
        // A liquid without a vacancy would need its charge balance as a
        // constraint among the ions; no file has one.
        if (liq_.vacancy < 0)
            fail(lex_.line(), "phase " + P_ + " (SUBI): no vacancy (Va) on sublattice 2; a liquid without one is not supported");
    }

    void read_record_indices() {
        const auto n = b_.records.size();
        const int nc = static_cast<int>(liq_.cation.size()), n2 = static_cast<int>(liq_.site2.size());
        lex_.set_context("phase " + P_ + " (SUBI)");
        for (std::size_t r = 0; r < n; ++r) {
            const long long i = lex_.integer("cation index of species", static_cast<int>(r + 1));
            if (i < 1 || i > nc)
                fail(lex_.line(), "phase " + P_ + ", species " + b_.records[r].name + ": cation index " + std::to_string(i) +
                                      " outside 1.." + std::to_string(nc));
            liq_.record_cation.push_back(static_cast<int>(i - 1));
        }
        lex_.end_record();
        for (std::size_t r = 0; r < n; ++r) {
            const long long s = lex_.integer("sublattice-2 index of species", static_cast<int>(r + 1));
            if (s < 1 || s > n2)
                fail(lex_.line(), "phase " + P_ + ", species " + b_.records[r].name + ": sublattice-2 index " +
                                      std::to_string(s) + " outside 1.." + std::to_string(n2));
            liq_.record_site2.push_back(static_cast<int>(s - 1));
        }
        indices_line_ = lex_.line();
        lex_.end_record();
    }

    std::string pair_name(int i, int s) const { return liq_.cation[sz(i)] + ":" + liq_.site2[sz(s)]; }

    // Every cation with every anion and with the vacancy exactly once, every
    // neutral at least once; element rows consistent with one row per ion.
    void check_records() {
        const int nc = static_cast<int>(liq_.cation.size()), n2 = static_cast<int>(liq_.site2.size());
        const auto nr = b_.records.size();
        std::vector<int> first(sz(nc * n2), -1);
        for (std::size_t r = 0; r < nr; ++r) {
            const int i = liq_.record_cation[r], s = liq_.record_site2[r];
            int& f = first[sz(i * n2 + s)];
            if (f >= 0 && !liq_.is_neutral(s))
                fail(b_.record_lines[r], "phase " + P_ + ": two records for " + pair_name(i, s));
            if (f < 0) f = static_cast<int>(r);
        }
        for (int s = 0; s < n2; ++s) {
            bool any = false;
            for (int i = 0; i < nc; ++i) {
                const bool have = first[sz(i * n2 + s)] >= 0;
                any = any || have;
                if (!have && !liq_.is_neutral(s)) fail(indices_line_, "phase " + P_ + ": no record for " + pair_name(i, s));
            }
            if (!any) fail(indices_line_, "phase " + P_ + ": no record for " + liq_.site2[sz(s)]);
        }
        const std::size_t ne = b_.records.front().stoich.size();
        auto row = [&](int r) { return std::span<const double>(b_.records[sz(r)].stoich); };
        auto same = [](double a, double b) { return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)}); };
        // The cation rows: the cation:Va records.
        for (int i = 0; i < nc; ++i) {
            const auto rv = row(first[sz(i * n2 + liq_.vacancy)]);
            if (std::all_of(rv.begin(), rv.end(), [](double a) { return a == 0.0; }))
                fail(b_.record_lines[sz(first[sz(i * n2 + liq_.vacancy)])],
                     "phase " + P_ + ": element row of " + pair_name(i, liq_.vacancy) + " is zero");
        }
        // An anion's row, from each cation: (row(C:A) - nu_A row(C:Va)) / nu_C.
        for (int s = 0; s < n2; ++s) {
            if (!liq_.is_anion(s)) continue;
            std::vector<double> anion;
            for (int i = 0; i < nc; ++i) {
                const int r = first[sz(i * n2 + s)];
                const auto rp = row(r), rv = row(first[sz(i * n2 + liq_.vacancy)]);
                const double nu_c = liq_.cation_charge[sz(i)], nu_a = liq_.anion_charge(s);
                std::vector<double> a(ne);
                for (std::size_t e = 0; e < ne; ++e) a[e] = (rp[e] - nu_a * rv[e]) / nu_c;
                bool ok = std::all_of(a.begin(), a.end(), [](double x) { return x > -1e-9; });
                if (!anion.empty())
                    for (std::size_t e = 0; e < ne; ++e) ok = ok && same(a[e], anion[e]);
                if (!ok)
                    fail(b_.record_lines[sz(r)], "phase " + P_ + ": element row of " + pair_name(i, s) + " is not " +
                                                     fmt(nu_a) + "·row(" + pair_name(i, liq_.vacancy) + ") + " + fmt(nu_c) +
                                                     "·row(" + liq_.site2[sz(s)] + ")");
                if (anion.empty()) anion = a;
            }
        }
        check_neutral_copies();
    }

    // Each copy of a neutral is nu_C times the neutral (C its cation); the
    // marker after `*`, where written, says so.
    void check_neutral_copies() {
        const auto nr = b_.records.size();
        const std::size_t ne = b_.records.front().stoich.size();
        for (int s = 0; s < static_cast<int>(liq_.site2.size()); ++s) {
            if (!liq_.is_neutral(s)) continue;
            int first = -1;
            for (std::size_t r = 0; r < nr; ++r) {
                if (liq_.record_site2[r] != s) continue;
                const double nu = liq_.cation_charge[sz(liq_.record_cation[r])];
                const double marker = b_.markers[r];
                if (!std::isnan(marker) && std::abs(marker - nu) > 1e-9 * nu)
                    b_.warn(b_.record_lines[r], "phase " + P_ + ", species " + b_.records[r].name + ": marker " + fmt(marker) +
                                                    " differs from cation charge " + fmt(nu));
                if (first < 0) {
                    first = static_cast<int>(r);
                    continue;
                }
                const Constituent& a = b_.records[sz(first)];
                const Constituent& c = b_.records[r];
                const double nu0 = liq_.cation_charge[sz(liq_.record_cation[sz(first)])];
                for (std::size_t e = 0; e < ne; ++e)
                    if (std::abs(c.stoich[e] / nu - a.stoich[e] / nu0) > 1e-12 * std::max(1.0, std::abs(a.stoich[e] / nu0)))
                        fail(b_.record_lines[r], "phase " + P_ + ": copies of neutral " + liq_.site2[sz(s)] +
                                                     " differ in their element rows after division by the cation charge");
                std::vector<double> temps{kT298};
                for (const GibbsRange& g : a.ranges) temps.push_back(g.tmax);
                for (const GibbsRange& g : c.ranges) temps.push_back(g.tmax);
                bool agree = true;
                for (double T : temps) {
                    const double ga = gibbs0(a, T) / nu0, gc = gibbs0(c, T) / nu;
                    agree = agree && std::abs(ga - gc) <= 1e-6 * std::max(1.0, std::abs(ga));
                }
                if (!agree)
                    b_.warn(b_.record_lines[r], "phase " + P_ + ": copies of neutral " + liq_.site2[sz(s)] +
                                                    " differ after division by the cation charge; the first is used");
            }
        }
    }

    // The kind of a record listing `nc` cations and the second-sublattice
    // species `s` (listing order); false when it is none the model knows.
    bool classify(IonicTerm& t) const {
        int anions = 0, va = 0, neutrals = 0;
        for (int s : t.site2) {
            if (s == liq_.vacancy) ++va;
            else if (liq_.is_anion(s)) ++anions;
            else ++neutrals;
        }
        const std::size_t c = t.cation.size(), k = c + t.site2.size();
        if (k == 3 && c == 2 && anions == 1) t.kind = IonicKind::cc_a;
        else if (k == 3 && c == 2 && va == 1) t.kind = IonicKind::cc_va;
        else if (k == 3 && c == 1 && anions >= 1) t.kind = IonicKind::c_ax;
        else if (k == 3 && c == 1 && va == 1 && neutrals == 1) t.kind = IonicKind::c_vab;
        else if (k == 3 && c == 1 && neutrals == 2) t.kind = IonicKind::c_bb;
        else if (k == 4 && c == 1 && anions >= 1) t.kind = IonicKind::c_axx;
        else if (k == 4 && c == 3 && va == 1) t.kind = IonicKind::ccc_va;
        else if (k == 4 && c == 1 && va == 1 && neutrals == 2) t.kind = IonicKind::c_vabb;
        else if (k == 4 && c == 2 && anions >= 1) t.kind = IonicKind::cc_ax;
        else if (k == 4 && c == 2 && va == 1 && neutrals == 1) t.kind = IonicKind::cc_vab;
        else return false;
        return true;
    }

    static const char* kind_name(IonicKind k) {
        switch (k) {
            case IonicKind::cc_a: return "C,C:A";
            case IonicKind::c_ax: return "C:A,X";
            case IonicKind::cc_va: return "C,C:Va";
            case IonicKind::c_vab: return "C:Va,B";
            case IonicKind::c_bb: return "C:B,B";
            case IonicKind::c_axx: return "C:A,X,X";
            case IonicKind::ccc_va: return "C,C,C:Va";
            case IonicKind::c_vabb: return "C:Va,B,B";
            case IonicKind::cc_ax: return "C,C:A,X";
            case IonicKind::cc_vab: return "C,C:Va,B";
        }
        return "?";
    }

    void read_excess() {
        const int nc = static_cast<int>(liq_.cation.size()), n2 = static_cast<int>(liq_.site2.size());
        int sets_total = 0;
        for (int r = 1;; ++r) {
            const std::string where = "phase " + P_ + ", excess record " + std::to_string(r);
            lex_.set_context(where);
            const long long k = lex_.integer("number of constituents");
            if (k == 0) break;
            if (k != 3 && k != 4)
                fail(lex_.line(), where + ": " + std::to_string(k) + " constituents listed (allowed: 3 or 4)");
            lex_.end_record();
            lex_.set_context(where);
            std::vector<int> idx;
            for (int m = 1; m <= k; ++m) {
                const long long i = lex_.integer("index", m);
                if (i < 1 || i > nc + n2)
                    fail(lex_.line(), where + ": index " + std::to_string(i) + " outside 1.." + std::to_string(nc + n2));
                if (!idx.empty() && i - 1 <= idx.back())
                    fail(lex_.line(), where + ": indices must be distinct and ascending, found " + std::to_string(idx.back() + 1) +
                                          " before " + std::to_string(i));
                idx.push_back(static_cast<int>(i - 1));
            }
            const long long ns = lex_.integer("number of coefficient sets");
            const int line = lex_.line();
            if (ns < 1 || ns > limits::kExcessParameters - sets_total)
                fail(line, where + ": number of coefficient sets: expected 1 to " +
                               std::to_string(limits::kExcessParameters - sets_total) + ", found " + std::to_string(ns));
            lex_.end_record();
            IonicTerm t;
            for (int i : idx) (i < nc ? t.cation : t.site2).push_back(i < nc ? i : i - nc);
            std::string names;
            for (int i : t.cation) names += (names.empty() ? "" : ",") + liq_.cation[sz(i)];
            for (std::size_t q = 0; q < t.site2.size(); ++q) names += (q == 0 ? ":" : ",") + liq_.site2[sz(t.site2[q])];
            if (!classify(t) || t.cation.empty())
                fail(line, where + " (" + names + "): interaction kind not supported");
            const bool ternary = t.kind == IonicKind::c_axx || t.kind == IonicKind::ccc_va ||
                                 t.kind == IonicKind::c_vabb || t.kind == IonicKind::cc_vab;
            if (ternary && ns != 1 && ns != 3)
                fail(line, where + ": " + std::to_string(ns) + " coefficient sets for a " + kind_name(t.kind) +
                               " term (allowed: 1 or 3)");
            if (t.kind == IonicKind::c_vab && ns != 1)
                fail(line, where + ": " + std::to_string(ns) + " coefficient sets for a " + kind_name(t.kind) +
                               " term (allowed: 1)");
            if (t.kind == IonicKind::cc_ax && ns > 1)
                b_.warn(line, where + " (" + names + "): reciprocal orders follow an unconfirmed convention");
            for (int v = 1; v <= ns; ++v) {
                lex_.set_context(where + ", set " + std::to_string(v));
                std::array<double, 6> L{};
                for (int m = 0; m < 6; ++m) {
                    L[sz(m)] = lex_.real("coefficient", m + 1);
                    if (!std::isfinite(L[sz(m)])) lex_.fail("coefficient " + std::to_string(m + 1) + ": not finite");
                }
                lex_.end_record();
                t.sets.push_back(L);
            }
            sets_total += static_cast<int>(ns);
            liq_.excess.push_back(std::move(t));
        }
        lex_.end_record();
    }

    const IonicBlock& b_;
    Lexer& lex_;
    const std::string& P_;
    IonicLiquid liq_;
    int indices_line_ = 0;
};

}  // namespace

IonicLiquid read_subi(const IonicBlock& block) { return SubiReader(block).read(); }

void skip_subm(const IonicBlock& b) {
    Lexer& lex = b.lex;
    lex.set_context("phase " + b.phase + " (SUBM)");
    const long long nc = lex.integer("number of cations");
    const long long na = lex.integer("number of anions");
    if (nc < 1 || na < 1 || nc > limits::kConstituentsPerMixture || na > limits::kConstituentsPerMixture)
        lex.fail("expected 1 to " + std::to_string(limits::kConstituentsPerMixture) + " cations and anions, found " +
                 std::to_string(nc) + " and " + std::to_string(na));
    lex.end_record();
    // Names, 25-column fields, three to a line: cations, then anions.
    for (long long want : {nc, na}) {
        long long got = 0;
        while (got < want) got += static_cast<long long>(split_tokens(lex.text_line("the ion names")).size());
        if (got != want) lex.fail("expected " + std::to_string(want) + " ion names, found " + std::to_string(got));
    }
    for (long long n : {nc, nc, na, na}) {  // charges and groups of the cations, then of the anions
        for (long long k = 1; k <= n; ++k) lex.real("charge or group", static_cast<int>(k));
        lex.end_record();
    }
    for (int row = 0; row < 2; ++row) {  // cation and anion index of each species
        for (std::size_t r = 1; r <= b.records.size(); ++r) {
            const long long i = lex.integer(row == 0 ? "cation index" : "anion index", static_cast<int>(r));
            if (i < 1 || i > (row == 0 ? nc : na)) lex.fail("index " + std::to_string(i) + " out of range");
        }
        lex.end_record();
    }
    for (int r = 1;; ++r) {
        lex.set_context("phase " + b.phase + " (SUBM), excess record " + std::to_string(r));
        const long long k = lex.integer("number of constituents");
        if (k == 0) break;
        if (k < 0) {
            // -n: n interpolation-override lines end the list.
            lex.end_record();
            for (long long l = 0; l < -k; ++l) lex.text_line("an interpolation-override line");
            return;
        }
        if (k != 3 && k != 4) lex.fail("number of constituents: expected 3 or 4, found " + std::to_string(k));
        lex.end_record();
        for (long long m = 1; m <= 2 * k; ++m) lex.integer("index or exponent", static_cast<int>(m));
        for (int m = 1; m <= 6; ++m) lex.real("coefficient", m);
        lex.end_record();
    }
    lex.end_record();
}

}  // namespace eqcore
