#include "data/read_sublattice.hpp"

#include <algorithm>
#include <cmath>

#include "data/limits.hpp"
#include "data/record_fields.hpp"

namespace eqcore {

Sublattices read_sublattice_block(Lexer& lex, const std::string& phase, int end_members) {
    lex.set_context("phase " + phase + ", sublattices");
    Sublattices sl;
    const int ns = integer_in(lex, "number of sublattices", 1, limits::kSublattices);
    lex.end_record();
    for (int s = 1; s <= ns; ++s) {
        const double a = lex.real("site number", s);
        if (!(a > 0.0) || !std::isfinite(a)) lex.fail("site number " + std::to_string(s) + ": expected > 0, found " + real_text(a));
        sl.sites.push_back(a);
    }
    lex.end_record();
    std::vector<int> counts;
    for (int s = 1; s <= ns; ++s)
        counts.push_back(integer_in(lex, "constituents of sublattice", 1, limits::kConstituentsPerMixture, s));
    lex.end_record();
    sl.names.resize(static_cast<std::size_t>(ns));
    for (int s = 0; s < ns; ++s) {
        std::vector<std::string>& names = sl.names[static_cast<std::size_t>(s)];
        const int first_line = lex.line() + 1;
        while (names.size() < static_cast<std::size_t>(counts[static_cast<std::size_t>(s)])) {
            for (std::string_view t : split_tokens(lex.text_line("the constituent names of a sublattice")))
                names.emplace_back(t);
        }
        if (names.size() != static_cast<std::size_t>(counts[static_cast<std::size_t>(s)]))
            lex.fail("names of sublattice " + std::to_string(s + 1) + ": expected " +
                     std::to_string(counts[static_cast<std::size_t>(s)]) + ", found " + std::to_string(names.size()) +
                     " (from line " + std::to_string(first_line) + ")");
        for (std::size_t a = 0; a < names.size(); ++a)
            for (std::size_t b = 0; b < a; ++b)
                if (names[a] == names[b])
                    lex.fail("names of sublattice " + std::to_string(s + 1) + ": '" + names[a] + "' appears twice");
    }
    sl.member.assign(static_cast<std::size_t>(end_members) * static_cast<std::size_t>(ns), 0);
    for (int s = 0; s < ns; ++s) {
        lex.set_context("phase " + phase + ", index row of sublattice " + std::to_string(s + 1));
        for (int e = 0; e < end_members; ++e) {
            const int i = integer_in(lex, "end member", 1, counts[static_cast<std::size_t>(s)], e + 1);
            sl.member[static_cast<std::size_t>(e) * static_cast<std::size_t>(ns) + static_cast<std::size_t>(s)] = i - 1;
        }
        lex.end_record();
    }
    // Two end members with the same constituents would be one term twice.
    for (int e = 0; e < end_members; ++e)
        for (int f = 0; f < e; ++f)
            if (std::equal(sl.member.begin() + e * ns, sl.member.begin() + (e + 1) * ns, sl.member.begin() + f * ns))
                lex.fail("end members " + std::to_string(f + 1) + " and " + std::to_string(e + 1) +
                         " have the same constituents on every sublattice");
    return sl;
}

void read_magnetic_record(Lexer& lex, const std::string& phase, Magnetic& mag) {
    lex.set_context("phase " + phase + ", magnetic record");
    mag.present = true;
    mag.afm = lex.real("antiferromagnetic multiplier");
    mag.structure = lex.real("structure factor");
    if (!(mag.afm > 0.0) || !std::isfinite(mag.afm))
        lex.fail("antiferromagnetic multiplier: expected > 0, found " + real_text(mag.afm));
    if (!(mag.structure > 0.0 && mag.structure <= 1.0))
        lex.fail("structure factor: expected a value in (0, 1], found " + real_text(mag.structure));
    lex.end_record();
}

std::vector<ListRecord> read_interaction_list(Lexer& lex, const std::string& context, const Sublattices& sl, int reals,
                                              int& sets_left) {
    std::vector<ListRecord> out;
    const int total = sl.total();
    for (int n = 1;; ++n) {
        lex.set_context(context + " " + std::to_string(n));
        const long long k = lex.integer("number of constituents");
        if (k == 0) break;
        const long long most = std::min(total, sl.count() + 2);
        if (k < 2 || k > most)
            lex.fail("number of constituents: expected 0 (end of the list) or 2 to " + std::to_string(most) + ", found " +
                     std::to_string(k));
        const int count = static_cast<int>(k);
        lex.end_record();
        ListRecord r;
        for (int m = 1; m <= count; ++m) {
            const int i = integer_in(lex, "constituent index", 1, total, m) - 1;
            if (std::find(r.index.begin(), r.index.end(), i) != r.index.end())
                lex.fail("constituent index " + std::to_string(m) + ": " + std::to_string(i + 1) + " appears twice");
            r.index.push_back(i);
        }
        const int ns = integer_in(lex, "number of coefficient sets", 1, std::max(sets_left, 1));
        if (ns > sets_left) lex.fail("more than " + std::to_string(limits::kExcessParameters) + " coefficient sets");
        sets_left -= ns;
        const std::string fault = term_shape_fault(sl, r.index, static_cast<std::size_t>(ns));
        if (!fault.empty()) lex.fail(fault);
        lex.end_record();
        for (int v = 1; v <= ns; ++v) {
            std::array<double, 6> set{};
            for (int q = 0; q < reals; ++q) {
                set[static_cast<std::size_t>(q)] = lex.real("set " + std::to_string(v) + " coefficient", q + 1);
                if (!std::isfinite(set[static_cast<std::size_t>(q)]))
                    lex.fail("set " + std::to_string(v) + " coefficient " + std::to_string(q + 1) + ": not finite");
            }
            lex.end_record();
            r.sets.push_back(set);
        }
        out.push_back(std::move(r));
    }
    lex.end_record();
    return out;
}

}  // namespace eqcore
