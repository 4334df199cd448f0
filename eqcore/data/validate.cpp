#include "data/validate.hpp"

#include <array>
#include <cmath>
#include <span>

#include "data/limits.hpp"
#include "data/read_dat.hpp"
#include "data/read_sublattice.hpp"
#include "data/site_content.hpp"

namespace eqcore {

namespace {

class Checker {
public:
    Checker(const System& sys, const std::string& file) : sys_(sys), file_(file) {}

    void run() {
        const int ne = sys_.element_count();
        if (ne < 1 || ne > limits::kElements)
            fail("element count " + std::to_string(ne) + " outside 1 to " + std::to_string(limits::kElements));
        if (sys_.constituents.size() > static_cast<std::size_t>(limits::kConstituents))
            fail("more than " + std::to_string(limits::kConstituents) + " constituents");
        int next = 0;
        int mixtures = 0;
        int pures = 0;
        for (std::size_t p = 0; p < sys_.phases.size(); ++p) {
            const Phase& ph = sys_.phases[p];
            const Where where{"phase", p, ph.name};
            require(ph.first == next && ph.count >= 1 &&
                        static_cast<std::size_t>(ph.first) + static_cast<std::size_t>(ph.count) <=
                            sys_.constituents.size(),
                    where, "constituents not contiguous or out of range");
            next += ph.count;
            if (ph.is_mixture()) {
                ++mixtures;
                require(pures == 0, where, "a mixture phase after a stoichiometric phase");
                require(!ph.is_gas() || p == 0, where, "the gas phase must be the first phase");
                require(ph.count <= limits::kConstituentsPerMixture, where, "too many constituents");
                require(!ph.dormant, where, "only stoichiometric phases can be dormant");
            } else {
                ++pures;
                require(ph.count == 1, where, "a stoichiometric phase has exactly one constituent");
            }
            for (int i = 0; i < ph.count; ++i) check_constituent(ph.first + i, static_cast<int>(p));
            check_excess(ph, where);
            check_quasichem(ph, where);
            require(ph.ionic.has_value() == (ph.model == Model::subi), where, "ionic-liquid data without the SUBI model");
            if (ph.ionic) check_ionic(ph, *ph.ionic, where);
        }
        if (next != static_cast<int>(sys_.constituents.size())) fail("constituents not owned by any phase");
        if (mixtures > limits::kMixturePhases)
            fail("more than " + std::to_string(limits::kMixturePhases) + " mixture phases");
        if (pures > limits::kStoichiometricPhases)
            fail("more than " + std::to_string(limits::kStoichiometricPhases) + " stoichiometric phases");
    }

private:
    // Names the item at fault; put into words only on failure, since a
    // load checks thousands of values and must not build a string for each.
    struct Where {
        const char* kind;
        std::size_t index;
        const std::string& name;
    };
    void require(bool ok, const Where& where, const char* what) const {
        if (!ok) [[unlikely]]
            raise(where, what);
    }
    [[noreturn, gnu::cold, gnu::noinline]] void raise(const Where& where, const char* what) const {
        throw DataError(file_, 0, std::string(where.kind) + " " + std::to_string(where.index + 1) + " (" + where.name +
                                      "): " + what);
    }
    [[noreturn]] void fail(const std::string& what) const { throw DataError(file_, 0, what); }

    void check_constituent(int k, int phase) const {
        const Constituent& c = sys_.constituents[static_cast<std::size_t>(k)];
        const Where where{"constituent", static_cast<std::size_t>(k), c.name};
        require(c.phase == phase, where, "wrong owning phase");
        const int base = c.data_option > 12 ? c.data_option - 12 : c.data_option;
        require((base == 1 || base == 4 || base == 7 || base == 10) && c.data_option != 19, where,
                "unknown data option");
        require(c.stoich.size() == sys_.elements.size(), where, "stoichiometry row of the wrong length");
        for (double a : c.stoich) require(std::isfinite(a), where, "stoichiometry not finite");
        require(!c.ranges.empty() && c.ranges.size() <= static_cast<std::size_t>(limits::kRanges),
                where, "number of ranges outside the limits");
        double last = 0.0;
        for (const GibbsRange& r : c.ranges) {
            require(std::isfinite(r.tmax) && r.tmax > last, where, "Tmax not positive and increasing");
            last = r.tmax;
            for (double v : r.coef) require(std::isfinite(v), where, "coefficient not finite");
            require(r.extra.size() <= static_cast<std::size_t>(limits::kExtraTerms), where, "too many extra terms");
            for (const ExtraTerm& x : r.extra)
                require(std::isfinite(x.c) && std::isfinite(x.e) && (x.e <= 20.0 || x.e == kLnTExponent),
                        where, "extra term not usable");
        }
        require(std::isfinite(c.molar_volume) && c.molar_volume >= 0.0, where, "molar volume not usable");
    }

    // The data of a quasichemical liquid are what its model indexes with:
    // every count consistent, every index in range, every number usable.
    void check_quasichem(const Phase& ph, const Where& where) const {
        const bool qc = ph.model == Model::subg || ph.model == Model::subq;
        require(qc == ph.quasichem.has_value(), where, "quasichemical data missing or in another model");
        if (!qc) return;
        const QuasichemData& d = *ph.quasichem;
        const int nc = d.cations(), na = d.anions(), n = ph.count;
        const auto N = static_cast<std::size_t>(n);
        require(d.quadruplet == (ph.model == Model::subq), where, "quasichemical model flag");
        require(nc >= 1 && na >= 1 && static_cast<long long>(nc) * na == n, where, "end members are not cations x anions");
        require(d.cation_charge.size() == static_cast<std::size_t>(nc) && d.cation_group.size() == static_cast<std::size_t>(nc) &&
                    d.anion_charge.size() == static_cast<std::size_t>(na) && d.anion_group.size() == static_cast<std::size_t>(na),
                where, "ion lists of different lengths");
        for (double q : d.cation_charge) require(std::isfinite(q) && q > 0.0, where, "ion charge not positive");
        for (double q : d.anion_charge) require(std::isfinite(q) && q > 0.0, where, "ion charge not positive");
        require(d.em_cation.size() == N && d.em_anion.size() == N && d.nu_cation.size() == N && d.nu_anion.size() == N &&
                    d.zeta.size() == N && d.em_unused.size() == N,
                where, "end-member lists of the wrong length");
        for (std::size_t m = 0; m < N; ++m) {
            require(d.em_cation[m] >= 0 && d.em_cation[m] < nc && d.em_anion[m] >= 0 && d.em_anion[m] < na, where,
                    "end-member ion index out of range");
            require(d.nu_cation[m] > 0.0 && d.nu_anion[m] > 0.0 && d.zeta[m] > 0.0 && std::isfinite(d.nu_cation[m]) &&
                        std::isfinite(d.nu_anion[m]) && std::isfinite(d.zeta[m]),
                    where, "end-member numbers not positive");
        }
        for (int c = 0; c < nc; ++c)
            for (int a = 0; a < na; ++a) {
                int k = 0;
                for (std::size_t m = 0; m < N; ++m) k += d.em_cation[m] == c && d.em_anion[m] == a ? 1 : 0;
                require(k == 1, where, "an ion pair without exactly one end member");
            }
        auto cation = [&](int i) { return i >= 0 && i < nc; };
        auto anion = [&](int i) { return i >= nc && i < nc + na; };
        for (const QuasichemCoordination& c : d.coordination) {
            require(cation(c.ion[0]) && cation(c.ion[1]) && anion(c.ion[2]) && anion(c.ion[3]) && c.ion[0] <= c.ion[1] &&
                        c.ion[2] <= c.ion[3],
                    where, "coordination record indices");
            for (double z : c.z) require(std::isfinite(z) && z > 0.0, where, "coordination number not positive");
        }
        for (int c = 0; c < nc; ++c)
            for (int a = nc; a < nc + na; ++a) {
                bool found = false;
                for (const QuasichemCoordination& r : d.coordination) found = found || r.ion == std::array<int, 4>{c, c, a, a};
                require(found, where, "a pure quadruplet without coordination numbers");
            }
        for (const QuasichemTerm& t : d.terms) {
            require(t.kind == 'G' || t.kind == 'Q', where, "excess term kind");
            require(cation(t.ion[0]) && cation(t.ion[1]) && anion(t.ion[2]) && anion(t.ion[3]), where,
                    "excess term indices");
            require((t.ion[0] != t.ion[1]) != (t.ion[2] != t.ion[3]), where, "excess term mixes on both sublattices");
            require(t.p >= 0 && t.q >= 0 && t.p <= 100 && t.q <= 100 && t.r >= 0 && t.r <= 100, where, "excess exponents");
            require(t.ternary == -1 || (cation(t.ternary) && t.ion[0] != t.ion[1] && t.r >= 1 &&
                                        t.ternary != t.ion[0] && t.ternary != t.ion[1]),
                    where, "ternary constituent");
            for (double c : t.coef) require(std::isfinite(c), where, "excess coefficient not finite");
        }
        for (const QuasichemKohler& k : d.kohler) {
            for (int i : k.cation) require(cation(i), where, "override cation index");
            require(k.anion == -1 || anion(k.anion), where, "override anion index");
        }
    }

    void check_sublattices(const Phase& ph, const Where& where) const {
        const Sublattices& sl = ph.sublattice;
        if (ph.model != Model::subl) {
            require(sl.empty(), where, "sublattices in a model without them");
            return;
        }
        const auto ns = static_cast<std::size_t>(sl.count());
        require(ns >= 1 && ns <= static_cast<std::size_t>(limits::kSublattices) && sl.names.size() == ns, where,
                "number of sublattices outside the limits");
        for (double a : sl.sites) require(std::isfinite(a) && a > 0.0, where, "site number not positive");
        for (const auto& names : sl.names)
            require(!names.empty() && names.size() <= static_cast<std::size_t>(limits::kConstituentsPerMixture), where,
                    "constituents of a sublattice outside the limits");
        require(sl.member.size() == ns * static_cast<std::size_t>(ph.count), where, "index table of the wrong size");
        for (std::size_t q = 0; q < sl.member.size(); ++q)
            require(sl.member[q] >= 0 && static_cast<std::size_t>(sl.member[q]) < sl.names[q % ns].size(), where,
                    "index table entry out of range");
        for (const Interaction& in : ph.excess) {
            require(in.exponent.empty(), where, "malformed interaction");
            for (const auto& L : in.sets)
                for (double v : L) require(std::isfinite(v), where, "interaction coefficient not finite");
            const std::string fault = term_shape_fault(sl, in.index, in.sets.size());
            if (!fault.empty()) fail("phase " + ph.name + ", interaction: " + fault);
        }
        const std::string fault = site_content(sys_.elements, ph,
                                               std::span<const Constituent>(sys_.constituents).subspan(
                                                   static_cast<std::size_t>(ph.first), static_cast<std::size_t>(ph.count)),
                                               rows_);
        if (!fault.empty()) fail("phase " + ph.name + ", " + fault);
    }

    void check_magnetic(const Phase& ph, const Where& where) const {
        const Magnetic& m = ph.magnetic;
        if (!m.present) {
            require(m.tc.empty() && m.beta.empty() && m.interactions.empty(), where, "magnetic data without the term");
            return;
        }
        require(ph.model == Model::rkmp || ph.model == Model::qkto || ph.model == Model::subl, where,
                "magnetic term in a model without it");
        require(std::isfinite(m.afm) && m.afm > 0.0 && m.structure > 0.0 && m.structure <= 1.0, where,
                "magnetic phase record not usable");
        require(m.tc.size() == static_cast<std::size_t>(ph.count) && m.beta.size() == m.tc.size(), where,
                "magnetic data of the wrong length");
        for (std::size_t k = 0; k < m.tc.size(); ++k)
            require(std::isfinite(m.tc[k]) && std::isfinite(m.beta[k]), where, "magnetic data not finite");
        // The records of a substitutional phase index its one list of constituents.
        const int one = ph.count;
        for (const MagneticInteraction& in : m.interactions) {
            for (const auto& set : in.sets)
                require(std::isfinite(set[0]) && std::isfinite(set[1]), where, "magnetic parameter not finite");
            const std::string fault = ph.model == Model::subl ? term_shape_fault(ph.sublattice, in.index, in.sets.size())
                                                              : term_shape_fault(std::span<const int>(&one, 1), in.index,
                                                                                 in.sets.size());
            if (!fault.empty()) fail("phase " + ph.name + ", magnetic interaction: " + fault);
        }
    }

    void check_excess(const Phase& ph, const Where& where) const {
        check_sublattices(ph, where);
        check_magnetic(ph, where);
        const bool rkmp = ph.model == Model::rkmp;
        const bool qkto = ph.model == Model::qkto;
        require(qkto || (ph.qkto_weight.empty() && ph.qkto_group.empty()), where, "QKTO species records in another model");
        require(ph.qkto_weight.empty() || ph.qkto_weight.size() == static_cast<std::size_t>(ph.count), where,
                "QKTO weights of the wrong length");
        require(ph.qkto_group.empty() || ph.qkto_group.size() == static_cast<std::size_t>(ph.count), where,
                "QKTO groups of the wrong length");
        for (double w : ph.qkto_weight) require(std::isfinite(w) && w > 0.0, where, "QKTO weight not positive");
        require(qkto || ph.qkto_kohler.empty(), where, "interpolation overrides in a model without them");
        for (const std::array<int, 3>& t : ph.qkto_kohler)
            require(t[0] >= 0 && t[0] < ph.count && t[1] >= 0 && t[1] < ph.count && t[2] >= 0 && t[2] < ph.count &&
                        t[0] != t[1] && t[0] != t[2] && t[1] != t[2],
                    where, "interpolation override indices not three different constituents");
        if (ph.model == Model::subl) return;
        require(ph.excess.empty() || rkmp || qkto, where, "excess parameters in a model without them");
        std::size_t sets = 0;
        for (const Interaction& in : ph.excess) {
            const std::size_t k = in.index.size();
            require(k == 2 || k == 3 || (rkmp && k == 4), where, "interaction of an unsupported number of constituents");
            for (std::size_t a = 0; a < k; ++a) {
                require(in.index[a] >= 0 && in.index[a] < ph.count, where, "interaction index out of range");
                for (std::size_t b = 0; b < a; ++b)
                    require(in.index[a] != in.index[b], where, "interaction index repeated");
            }
            for (const auto& L : in.sets)
                for (double v : L) require(std::isfinite(v), where, "interaction coefficient not finite");
            sets += in.sets.size();
            if (rkmp) {
                require(in.exponent.empty() && !in.sets.empty() &&
                            (k == 2 || in.sets.size() == 1 || (k == 3 && in.sets.size() == 3)),
                        where, "malformed interaction");
            } else {
                require(in.exponent.size() == k && in.sets.size() == 1, where, "malformed interaction");
                for (int e : in.exponent) require(e >= 1 && e <= 20, where, "interaction exponent out of range");
            }
        }
        require(sets <= static_cast<std::size_t>(limits::kExcessParameters), where, "too many excess parameters");
    }

    void check_ionic(const Phase& ph, const IonicLiquid& q, const Where& where) const {
        const auto nc = q.cation.size(), n2 = q.site2.size();
        require(nc >= 1 && n2 >= 1 && q.cation_charge.size() == nc && q.site2_charge.size() == n2, where,
                "ionic sublattices malformed");
        require(q.vacancy >= 0 && static_cast<std::size_t>(q.vacancy) < n2, where, "ionic liquid without a vacancy");
        for (double c : q.cation_charge) require(std::isfinite(c) && c > 0.0, where, "cation charge not positive");
        for (std::size_t s = 0; s < n2; ++s)
            require(std::isfinite(q.site2_charge[s]) && (static_cast<int>(s) == q.vacancy || q.site2_charge[s] <= 0.0),
                    where, "anion charge positive");
        require(q.record_cation.size() == static_cast<std::size_t>(ph.count) &&
                    q.record_site2.size() == static_cast<std::size_t>(ph.count),
                where, "ionic record indices of the wrong length");
        for (int k = 0; k < ph.count; ++k)
            require(q.record_cation[static_cast<std::size_t>(k)] >= 0 &&
                        static_cast<std::size_t>(q.record_cation[static_cast<std::size_t>(k)]) < nc &&
                        q.record_site2[static_cast<std::size_t>(k)] >= 0 &&
                        static_cast<std::size_t>(q.record_site2[static_cast<std::size_t>(k)]) < n2,
                    where, "ionic record index out of range");
        std::size_t sets = 0;
        for (const IonicTerm& t : q.excess) {
            require(!t.cation.empty() && t.cation.size() + t.site2.size() >= 3 && t.cation.size() + t.site2.size() <= 4 &&
                        !t.sets.empty(),
                    where, "malformed ionic excess term");
            for (int i : t.cation) require(i >= 0 && static_cast<std::size_t>(i) < nc, where, "ionic excess index out of range");
            for (int s : t.site2) require(s >= 0 && static_cast<std::size_t>(s) < n2, where, "ionic excess index out of range");
            for (const auto& L : t.sets)
                for (double v : L) require(std::isfinite(v), where, "interaction coefficient not finite");
            sets += t.sets.size();
        }
        require(sets <= static_cast<std::size_t>(limits::kExcessParameters), where, "too many excess parameters");
    }

    const System& sys_;
    const std::string& file_;
    mutable std::vector<double> rows_;  // site contents of the phase being checked, reused
};

}  // namespace

void validate(const System& sys, const std::string& file) { Checker(sys, file).run(); }

}  // namespace eqcore
