#include "session/listing.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <numeric>
#include <utility>

#include "session/text.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// A listing line: cut to the listing width, trailing blanks dropped.
std::string fitted(std::string s) {
    if (s.size() > kListingWidth) s.resize(kListingWidth);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// printf into a listing line.
[[gnu::format(printf, 1, 2)]] std::string line(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return fitted(buf);
}

// A name in a column of 24 characters (longer names are cut).
std::string name24(const std::string& n) { return n.size() > 24 ? n.substr(0, 24) : n; }

// " %14.6E" appended: to_chars gives printf's digits, without its format
// parser (a listing has three such columns per constituent line).
void append_E14(std::string& out, double v) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6).ptr;
    const auto n = static_cast<std::size_t>(end - buf);
    out.append(n < 14 ? 15 - n : 1, ' ');
    for (const char* c = buf; c != end; ++c) out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*c))));
}

// The line "     %-24s %14.6E %14.6E %14.6E".
std::string constituent_line(const std::string& name, double a, double b, double c) {
    std::string s = "     " + name24(name);
    s.resize(29, ' ');
    append_E14(s, a);
    append_E14(s, b);
    append_E14(s, c);
    return fitted(std::move(s));
}

std::string unit(const Units& u, Quantity q) { return std::string(u.name(q)); }
std::string unit(const Session& s, Quantity q) { return unit(s.units(), q); }

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
    out.push_back(line("     %-24s %14s", "ion", "site fraction"));
    for (int i = 0; i < d.ions(); ++i)
        out.push_back(line("     %-24s %14.6E", name24(i < d.cations() ? d.cation[sz(i)] : d.anion[sz(i - d.cations())]).c_str(),
                           y[sz(i)]));
    out.push_back(line("     %-24s %14s", "quadruplet", "fraction"));
    std::vector<std::size_t> order(std::min(q.size(), x.size()));
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] > x[b]; });
    for (std::size_t k : order)
        if (x[k] > 1e-12) out.push_back(line("     %-24s %14.6E", name24(quadruplet_name(d, q[k])).c_str(), x[k]));
}

}  // namespace

std::vector<std::string> result_listing(const Session& s, const EquilibriumResult& r) {
    return result_listing(s.system(), s.units(), r);
}

std::vector<std::string> result_listing(const System& sys, const Units& u, const EquilibriumResult& r) {
    const std::string E = unit(u, Quantity::energy), A = unit(u, Quantity::amount), Tn = unit(u, Quantity::temperature);
    std::vector<std::string> out;
    out.push_back(line(" EQCORE EQUILIBRIUM   %s", sys.title.c_str()));
    out.push_back(line(" T = %.4f %s   P = %.6E %s   V = %.6E %s", u.temperature_from_si(r.T), Tn.c_str(),
                       u.pressure_from_si(r.P), unit(u, Quantity::pressure).c_str(), u.volume_from_si(r.V),
                       unit(u, Quantity::volume).c_str()));
    std::vector<int> order;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const PhaseResult& pr = r.phases[sz(p)];
        if (!pr.present) continue;
        const Phase& ph = sys.phases[sz(p)];
        out.emplace_back();
        out.push_back(line(" PHASE %-24s %-4s   amount %14.6E %s", name24(ph.name).c_str(), ph.model_code.c_str(),
                           phase_amount(sys, u, r, p), A.c_str()));
        if (!ph.is_mixture()) continue;
        out.push_back(line("     %-24s %14s %14s %14s", "constituent", ("amount/" + A).c_str(), "mole fraction",
                           "activity"));
        order.resize(sz(ph.count));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return r.amount[sz(ph.first + a)] > r.amount[sz(ph.first + b)];
        });
        for (int k : order) {
            const std::size_t g = sz(ph.first + k);
            if (r.amount[g] <= 0.0) continue;  // eliminated, or an element not in the material
            out.push_back(constituent_line(sys.constituents[g].name, u.amount_from_mol(r.amount[g], mass_of(sys, u, p, k)),
                                           r.mole_fraction[g], r.activity[g]));
        }
        if (ph.quasichem && !pr.site_fraction.empty()) quasichem_lines(*ph.quasichem, pr.site_fraction, out);
        if (ph.ionic && pr.sites.size() == 2) {
            // An ionic liquid: its site numbers and site fractions.
            const IonicLiquid& q = *ph.ionic;
            out.push_back(line("     %-24s %14s   sites P = %.8f   Q = %.8f", "site", "fraction", pr.sites[0], pr.sites[1]));
            for (std::size_t i = 0; i < q.cation.size() + q.site2.size() && i < pr.site_fraction.size(); ++i)
                out.push_back(line("     %-24s %14.6E", name24(i < q.cation.size() ? q.cation[i] : q.site2[i - q.cation.size()]).c_str(),
                                   pr.site_fraction[i]));
        }
        // A sublattice phase: its site fractions, sublattice by sublattice.
        const Sublattices& sl = ph.sublattice;
        if (sl.empty() || pr.site_fraction.size() != sz(sl.total())) continue;
        out.push_back(line("     %-24s %14s %14s", "sublattice constituent", "sites", "site fraction"));
        for (int t = 0; t < sl.count(); ++t)
            for (std::size_t k = 0; k < sl.names[sz(t)].size(); ++k)
                out.push_back(line("     %-24s %14.6E %14.6E", name24(std::to_string(t + 1) + ": " + sl.names[sz(t)][k]).c_str(),
                                   sl.sites[sz(t)], pr.site_fraction[sz(sl.first(t)) + k]));
    }
    bool header = false;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const PhaseResult& pr = r.phases[sz(p)];
        if (!pr.considered || pr.present) continue;
        if (!header) {
            out.emplace_back();
            out.push_back(line(" ABSENT PHASES %-20s driving force/(%s/mol)", "", E.c_str()));
            header = true;
        }
        out.push_back(line("     %-24s %14.6E", name24(sys.phases[sz(p)].name).c_str(), u.energy_from_si(pr.driving_force)));
    }
    out.emplace_back();
    out.push_back(line(" SYSTEM   H = %.8E %s   S = %.8E %s/%s   G = %.8E %s   Cp = %.8E %s/%s", u.energy_from_si(r.H),
                       E.c_str(), u.entropy_from_si(r.S), E.c_str(), Tn.c_str(), u.energy_from_si(r.G), E.c_str(),
                       u.entropy_from_si(r.Cp), E.c_str(), Tn.c_str()));
    out.push_back(line(" HEAT OF THE CALCULATION   %.8E %s", u.energy_from_si(r.heat), E.c_str()));
    return out;
}

std::vector<std::string> settings_listing(const Session& s) {
    const Units& u = s.units();
    const std::string Tn = unit(s, Quantity::temperature), Pn = unit(s, Quantity::pressure);
    std::vector<std::string> out;
    out.push_back(line(" EQCORE SETTINGS"));
    out.push_back(line(" UNITS    pressure %s   temperature %s   volume %s   energy %s   amount %s", Pn.c_str(),
                       Tn.c_str(), unit(s, Quantity::volume).c_str(), unit(s, Quantity::energy).c_str(),
                       unit(s, Quantity::amount).c_str()));
    out.push_back(line(" LIMITS   TLOW %.4f %s   THIGH %.4f %s", u.temperature_from_si(s.tlow()), Tn.c_str(),
                       u.temperature_from_si(s.thigh()), Tn.c_str()));
    if (!s.has_system()) {
        out.push_back(line(" DATA FILE  (none: no system loaded)"));
        return out;
    }
    const System& sys = s.system();
    out.push_back(line(" DATA FILE  %s", s.data_source().c_str()));
    out.push_back(line(" SYSTEM     %s", sys.title.c_str()));
    out.emplace_back();
    out.push_back(line(" PHASES   %-24s %-5s %-10s %12s", "name", "model", "status", "constituents"));
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[sz(p)];
        out.push_back(line(" %6d   %-24s %-5s %-10s %12d", p + 1, name24(ph.name).c_str(), ph.model_code.c_str(),
                           status_text(s.phase_status(p)).c_str(), ph.count));
    }
    out.emplace_back();
    if (s.conditions().empty()) out.push_back(line(" CONDITIONS  (none: T %.4f %s, P %.6E %s)",
                                                   u.temperature_from_si(s.temperature()), Tn.c_str(),
                                                   u.pressure_from_si(s.pressure()), Pn.c_str()));
    else out.push_back(line(" CONDITIONS"));
    int i = 0;
    for (const Condition& c : s.conditions()) {
        ++i;
        switch (c.kind) {
            case ConditionKind::temperature:
                out.push_back(line(" %6d   T = %.4f %s", i, u.temperature_from_si(c.value), Tn.c_str()));
                break;
            case ConditionKind::pressure:
                out.push_back(line(" %6d   P = %.6E %s", i, u.pressure_from_si(c.value), Pn.c_str()));
                break;
            case ConditionKind::enthalpy:
                out.push_back(line(" %6d   H = %.6E %s", i, u.energy_from_si(c.value), unit(s, Quantity::energy).c_str()));
                break;
            case ConditionKind::target:
                out.push_back(line(" %6d   A on %s: %s", i, sys.phases[sz(c.phase)].name.c_str(),
                                   c.value >= 0.0 ? "formation" : "precipitation"));
                break;
        }
    }
    out.emplace_back();
    out.push_back(line(s.streams().empty() ? " STREAMS  (none)" : " STREAMS"));
    for (const Stream& st : s.streams()) {
        out.push_back(line("   %-24s T = %.4f %s   P = %.6E %s", name24(st.name).c_str(), u.temperature_from_si(st.T),
                           Tn.c_str(), u.pressure_from_si(st.P), Pn.c_str()));
        for (int p : st.phases) {
            const Phase& ph = sys.phases[sz(p)];
            for (int k = 0; k < ph.count; ++k) {
                const double n = st.n[sz(ph.first + k)];
                if (n == 0.0) continue;
                out.push_back(line("       %-24s %-24s %14.6E %s", name24(sys.constituent(p, k).name).c_str(),
                                   name24(ph.name).c_str(), u.amount_from_mol(n, mass_of(s, p, k)),
                                   unit(s, Quantity::amount).c_str()));
            }
        }
    }
    return out;
}

}  // namespace eqcore
