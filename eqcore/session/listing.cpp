#include "session/listing.hpp"

#include <algorithm>
#include <numeric>
#include <string_view>

#include "session/listing_line.hpp"
#include "session/text.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// A listing line, finished: cut to the listing width, trailing blanks dropped.
std::string done(ListingLine& l) { return l.finish(kListingWidth); }

// A name in a column of 24 characters (longer names are cut).
std::string_view name24(std::string_view n) { return n.substr(0, 24); }

// "     %-24s": the first column of the lines under a phase.
ListingLine item(std::string_view name) {
    ListingLine l;
    l.text("     ").left(name24(name), 24);
    return l;
}

// "     %-24s %14.6E".
std::string item_line(std::string_view name, double v) {
    ListingLine l = item(name);
    return done(l.text(" ").scientific(v, 6, 14));
}

std::string_view unit(const Units& u, Quantity q) { return u.name(q); }
std::string_view unit(const Session& s, Quantity q) { return unit(s.units(), q); }

// Molar mass for amount conversions (1 when the amount unit is molar).
double mass_of(const System& sys, const Units& u, int phase, int k) {
    if (!u.amount_is_mass()) return 1.0;
    const int g = sys.phases[sz(phase)].first + k;
    const double m = molar_mass(sys, g);
    if (!(m > 0.0))
        throw Failure(Error::no_molar_mass,
                      "constituent " + sys.constituents[sz(g)].name + " (molar mass " + text::number(m) + " g/mol)");
    return m;
}
double mass_of(const Session& s, int phase, int k) { return mass_of(s.system(), s.units(), phase, k); }

double phase_amount(const System& sys, const Units& u, const EquilibriumResult& r, int p) {
    const Phase& ph = sys.phases[sz(p)];
    // A phase whose site numbers follow its composition: in formula units.
    if (!r.phases[sz(p)].sites.empty() && !u.amount_is_mass()) return u.amount_from_mol(r.phases[sz(p)].amount, 1.0);
    double a = 0.0;
    for (int k = 0; k < ph.count; ++k) a += u.amount_from_mol(r.amount[sz(ph.first + k)], mass_of(sys, u, p, k));
    return a;
}

std::string status_text(Status st) {
    switch (st) {
        case Status::entered: return "ENTERED";
        case Status::eliminated: return "ELIMINATED";
        case Status::dormant: return "DORMANT";
    }
    return "";
}

// A quasichemical liquid: the site fractions of its ions, then the
// fractions of its quadruplets (pairs) above 1e-12, largest first.
void quasichem_lines(const QuasichemData& d, const std::vector<double>& x, std::vector<std::string>& out) {
    const std::vector<Quadruplet> q = quadruplets(d);
    const std::vector<double> y = ion_site_fractions(d, q, x);
    ListingLine head = item("ion");
    out.push_back(done(head.text(" ").right("site fraction", 14)));
    for (int i = 0; i < d.ions(); ++i)
        out.push_back(item_line(i < d.cations() ? d.cation[sz(i)] : d.anion[sz(i - d.cations())], y[sz(i)]));
    ListingLine quads = item("quadruplet");
    out.push_back(done(quads.text(" ").right("fraction", 14)));
    std::vector<std::size_t> order(std::min(q.size(), x.size()));
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] > x[b]; });
    for (std::size_t k : order)
        if (x[k] > 1e-12) out.push_back(item_line(quadruplet_name(d, q[k]), x[k]));
}

}  // namespace

std::vector<std::string> result_listing(const Session& s, const EquilibriumResult& r) {
    return result_listing(s.system(), s.units(), r);
}

std::vector<std::string> result_listing(const System& sys, const Units& u, const EquilibriumResult& r) {
    const std::string_view E = unit(u, Quantity::energy), A = unit(u, Quantity::amount),
                           Tn = unit(u, Quantity::temperature);
    std::vector<std::string> out;
    {
        ListingLine l;
        out.push_back(done(l.text(" EQCORE EQUILIBRIUM   ").text(sys.title)));
    }
    {
        ListingLine l;
        l.text(" T = ").fixed(u.temperature_from_si(r.T), 4).text(" ").text(Tn);
        l.text("   P = ").scientific(u.pressure_from_si(r.P), 6).text(" ").text(unit(u, Quantity::pressure));
        l.text("   V = ").scientific(u.volume_from_si(r.V), 6).text(" ").text(unit(u, Quantity::volume));
        out.push_back(done(l));
    }
    const std::string amount_head = "amount/" + std::string(A);
    std::vector<int> order;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const PhaseResult& pr = r.phases[sz(p)];
        if (!pr.present) continue;
        const Phase& ph = sys.phases[sz(p)];
        out.emplace_back();
        {
            ListingLine l;
            l.text(" PHASE ").left(name24(ph.name), 24).text(" ").left(ph.model_code, 4).text("   amount ");
            out.push_back(done(l.scientific(phase_amount(sys, u, r, p), 6, 14).text(" ").text(A)));
        }
        if (!ph.is_mixture()) continue;
        {
            ListingLine l = item("constituent");
            l.text(" ").right(amount_head, 14).text(" ").right("mole fraction", 14).text(" ").right("activity", 14);
            out.push_back(done(l));
        }
        order.resize(sz(ph.count));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return r.amount[sz(ph.first + a)] > r.amount[sz(ph.first + b)];
        });
        for (int k : order) {
            const std::size_t g = sz(ph.first + k);
            if (r.amount[g] <= 0.0) continue;  // eliminated, or an element not in the material
            ListingLine l = item(sys.constituents[g].name);
            l.text(" ").scientific(u.amount_from_mol(r.amount[g], mass_of(sys, u, p, k)), 6, 14);
            l.text(" ").scientific(r.mole_fraction[g], 6, 14);
            l.text(" ").scientific(r.activity[g], 6, 14);
            out.push_back(done(l));
        }
        if (ph.quasichem && !pr.site_fraction.empty()) quasichem_lines(*ph.quasichem, pr.site_fraction, out);
        if (ph.ionic && pr.sites.size() == 2) {
            // An ionic liquid: its site numbers and site fractions.
            const IonicLiquid& q = *ph.ionic;
            ListingLine l = item("site");
            l.text(" ").right("fraction", 14).text("   sites P = ").fixed(pr.sites[0], 8);
            out.push_back(done(l.text("   Q = ").fixed(pr.sites[1], 8)));
            for (std::size_t i = 0; i < q.cation.size() + q.site2.size() && i < pr.site_fraction.size(); ++i)
                out.push_back(item_line(i < q.cation.size() ? q.cation[i] : q.site2[i - q.cation.size()],
                                        pr.site_fraction[i]));
        }
        // A sublattice phase: its site fractions, sublattice by sublattice.
        const Sublattices& sl = ph.sublattice;
        if (sl.empty() || pr.site_fraction.size() != sz(sl.total())) continue;
        {
            ListingLine l = item("sublattice constituent");
            out.push_back(done(l.text(" ").right("sites", 14).text(" ").right("site fraction", 14)));
        }
        for (int t = 0; t < sl.count(); ++t)
            for (std::size_t k = 0; k < sl.names[sz(t)].size(); ++k) {
                ListingLine l = item(std::to_string(t + 1) + ": " + sl.names[sz(t)][k]);
                l.text(" ").scientific(sl.sites[sz(t)], 6, 14);
                out.push_back(done(l.text(" ").scientific(pr.site_fraction[sz(sl.first(t)) + k], 6, 14)));
            }
    }
    bool header = false;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const PhaseResult& pr = r.phases[sz(p)];
        if (!pr.considered || pr.present) continue;
        if (!header) {
            out.emplace_back();
            ListingLine l;
            l.text(" ABSENT PHASES ").left("", 20).text(" driving force/(").text(E).text("/mol)");
            out.push_back(done(l));
            header = true;
        }
        out.push_back(item_line(sys.phases[sz(p)].name, u.energy_from_si(pr.driving_force)));
    }
    out.emplace_back();
    {
        ListingLine l;
        l.text(" SYSTEM   H = ").scientific(u.energy_from_si(r.H), 8).text(" ").text(E);
        l.text("   S = ").scientific(u.entropy_from_si(r.S), 8).text(" ").text(E).text("/").text(Tn);
        l.text("   G = ").scientific(u.energy_from_si(r.G), 8).text(" ").text(E);
        l.text("   Cp = ").scientific(u.entropy_from_si(r.Cp), 8).text(" ").text(E).text("/").text(Tn);
        out.push_back(done(l));
    }
    {
        ListingLine l;
        l.text(" HEAT OF THE CALCULATION   ").scientific(u.energy_from_si(r.heat), 8).text(" ").text(E);
        out.push_back(done(l));
    }
    return out;
}

std::vector<std::string> settings_listing(const Session& s) {
    const Units& u = s.units();
    const std::string_view Tn = unit(s, Quantity::temperature), Pn = unit(s, Quantity::pressure);
    std::vector<std::string> out;
    {
        ListingLine l;
        out.push_back(done(l.text(" EQCORE SETTINGS")));
    }
    {
        ListingLine l;
        l.text(" UNITS    pressure ").text(Pn).text("   temperature ").text(Tn);
        l.text("   volume ").text(unit(s, Quantity::volume)).text("   energy ").text(unit(s, Quantity::energy));
        out.push_back(done(l.text("   amount ").text(unit(s, Quantity::amount))));
    }
    {
        ListingLine l;
        l.text(" LIMITS   TLOW ").fixed(u.temperature_from_si(s.tlow()), 4).text(" ").text(Tn);
        out.push_back(done(l.text("   THIGH ").fixed(u.temperature_from_si(s.thigh()), 4).text(" ").text(Tn)));
    }
    if (!s.has_system()) {
        ListingLine l;
        out.push_back(done(l.text(" DATA FILE  (none: no system loaded)")));
        return out;
    }
    const System& sys = s.system();
    {
        ListingLine l;
        out.push_back(done(l.text(" DATA FILE  ").text(s.data_source())));
    }
    {
        ListingLine l;
        out.push_back(done(l.text(" SYSTEM     ").text(sys.title)));
    }
    out.emplace_back();
    {
        ListingLine l;
        l.text(" PHASES   ").left("name", 24).text(" ").left("model", 5).text(" ").left("status", 10).text(" ");
        out.push_back(done(l.right("constituents", 12)));
    }
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        ListingLine l;
        l.text(" ").integer(p + 1, 6).text("   ").left(name24(ph.name), 24).text(" ").left(ph.model_code, 5).text(" ");
        out.push_back(done(l.left(status_text(s.phase_status(p)), 10).text(" ").integer(ph.count, 12)));
    }
    out.emplace_back();
    if (s.conditions().empty()) {
        ListingLine l;
        l.text(" CONDITIONS  (none: T ").fixed(u.temperature_from_si(s.temperature()), 4).text(" ").text(Tn);
        out.push_back(done(l.text(", P ").scientific(u.pressure_from_si(s.pressure()), 6).text(" ").text(Pn).text(")")));
    } else {
        ListingLine l;
        out.push_back(done(l.text(" CONDITIONS")));
    }
    int i = 0;
    for (const Condition& c : s.conditions()) {
        ++i;
        ListingLine l;
        l.text(" ").integer(i, 6).text("   ");
        switch (c.kind) {
            case ConditionKind::temperature:
                l.text("T = ").fixed(u.temperature_from_si(c.value), 4).text(" ").text(Tn);
                break;
            case ConditionKind::pressure:
                l.text("P = ").scientific(u.pressure_from_si(c.value), 6).text(" ").text(Pn);
                break;
            case ConditionKind::enthalpy:
                l.text("H = ").scientific(u.energy_from_si(c.value), 6).text(" ").text(unit(s, Quantity::energy));
                break;
            case ConditionKind::target:
                l.text("A on ").text(sys.phases[sz(c.phase)].name).text(": ");
                l.text(c.value >= 0.0 ? "formation" : "precipitation");
                break;
        }
        out.push_back(done(l));
    }
    out.emplace_back();
    {
        ListingLine l;
        out.push_back(done(l.text(s.streams().empty() ? " STREAMS  (none)" : " STREAMS")));
    }
    for (const Stream& st : s.streams()) {
        {
            ListingLine l;
            l.text("   ").left(name24(st.name), 24).text(" T = ").fixed(u.temperature_from_si(st.T), 4).text(" ").text(Tn);
            out.push_back(done(l.text("   P = ").scientific(u.pressure_from_si(st.P), 6).text(" ").text(Pn)));
        }
        for (int p : st.phases) {
            const Phase& ph = sys.phases[sz(p)];
            for (int k = 0; k < ph.count; ++k) {
                const double n = st.n[sz(ph.first + k)];
                if (n == 0.0) continue;
                ListingLine l;
                l.text("       ").left(name24(sys.constituent(p, k).name), 24).text(" ").left(name24(ph.name), 24);
                l.text(" ").scientific(u.amount_from_mol(n, mass_of(s, p, k)), 6, 14);
                out.push_back(done(l.text(" ").text(unit(s, Quantity::amount))));
            }
        }
    }
    return out;
}

}  // namespace eqcore
