#include "print_equilibrium.hpp"

#include <algorithm>
#include <numeric>
#include <vector>

#include "table.hpp"
#include "thermo/quasichem.hpp"

namespace eqlink_tool {

namespace {

// A quasichemical liquid: the site fractions of its ions (cations, then
// anions) and the fractions of its quadruplets (pairs) above 1e-12,
// largest first.
void print_quasichem(std::ostream& out, const eqcore::QuasichemData& d, const std::vector<double>& x) {
    const std::vector<eqcore::Quadruplet> q = eqcore::quadruplets(d);
    const std::vector<double> y = eqcore::ion_site_fractions(d, q, x);
    Table ions({"Ion", "Sublattice", "Site fraction"});
    for (int i = 0; i < d.ions(); ++i) {
        const bool cation = i < d.cations();
        ions.row({cation ? d.cation[static_cast<std::size_t>(i)] : d.anion[static_cast<std::size_t>(i - d.cations())],
                  cation ? "cation" : "anion", format_number(y[static_cast<std::size_t>(i)], 8)});
    }
    ions.print(out, 4);
    std::vector<std::size_t> order(std::min(q.size(), x.size()));
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] > x[b]; });
    Table quads({"Quadruplet", "Fraction"});
    for (std::size_t k : order)
        if (x[k] > 1e-12) quads.row({eqcore::quadruplet_name(d, q[k]), format_number(x[k], 8)});
    quads.print(out, 4);
}

}  // namespace

void print_equilibrium(std::ostream& out, const eqcore::System& sys, const eqcore::EquilibriumResult& r) {
    out << "Equilibrium: " << sys.title << "\n"
        << "  T = " << format_number(r.T, 10) << " K   P = " << format_number(r.P, 10) << " Pa   V = "
        << format_number(r.V, 8) << " m3\n";
    if (r.calculations > 1) out << "  " << r.calculations << " equilibria computed in the temperature search\n";

    out << "\nPhases present\n";
    for (int p = 0; p < sys.phase_count(); ++p) {
        const auto& ph = sys.phases[static_cast<std::size_t>(p)];
        const auto& pr = r.phases[static_cast<std::size_t>(p)];
        if (!pr.present) continue;
        out << "  " << ph.name << " (" << ph.model_code << "): " << format_number(pr.amount, 10)
            << (pr.sites.empty() && ph.sublattice.empty() ? " mol\n" : " mol of formula units\n");
        if (!ph.is_mixture()) continue;
        std::vector<int> order(static_cast<std::size_t>(ph.count));
        std::iota(order.begin(), order.end(), ph.first);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return r.amount[static_cast<std::size_t>(a)] > r.amount[static_cast<std::size_t>(b)];
        });
        Table t({"Constituent", "Amount mol", "Mole fraction", "Activity"});
        for (int i : order) {
            const auto k = static_cast<std::size_t>(i);
            t.row({sys.constituents[k].name, format_number(r.amount[k], 8), format_number(r.mole_fraction[k], 8),
                   format_number(r.activity[k], 8)});
        }
        t.print(out, 4);
        if (ph.quasichem && !pr.site_fraction.empty()) print_quasichem(out, *ph.quasichem, pr.site_fraction);
        if (ph.ionic && pr.sites.size() == 2) {
            // An ionic liquid: its site numbers and site fractions.
            const eqcore::IonicLiquid& q = *ph.ionic;
            out << "    Sites per formula unit: P = " << format_number(pr.sites[0], 10)
                << ", Q = " << format_number(pr.sites[1], 10) << "\n";
            Table y({"Sublattice", "Species", "Site fraction"});
            for (std::size_t i = 0; i < q.cation.size() + q.site2.size() && i < pr.site_fraction.size(); ++i)
                y.row({i < q.cation.size() ? "1" : "2", i < q.cation.size() ? q.cation[i] : q.site2[i - q.cation.size()],
                       format_number(pr.site_fraction[i], 8)});
            y.print(out, 4);
        }
        // A sublattice phase (amount in formula units): its site fractions.
        const auto& sl = ph.sublattice;
        if (sl.empty() || pr.site_fraction.size() != static_cast<std::size_t>(sl.total())) continue;
        Table y({"Sublattice", "Sites", "Constituent", "Site fraction"});
        for (int s = 0; s < sl.count(); ++s)
            for (std::size_t k = 0; k < sl.names[static_cast<std::size_t>(s)].size(); ++k)
                y.row({std::to_string(s + 1), format_number(sl.sites[static_cast<std::size_t>(s)], 6),
                       sl.names[static_cast<std::size_t>(s)][k],
                       format_number(pr.site_fraction[static_cast<std::size_t>(sl.first(s)) + k], 10)});
        y.print(out, 4);
    }

    Table absent({"Phase", "Driving force J/mol"});
    for (int p = 0; p < sys.phase_count(); ++p) {
        const auto& pr = r.phases[static_cast<std::size_t>(p)];
        if (pr.considered && !pr.present)
            absent.row({sys.phases[static_cast<std::size_t>(p)].name, format_number(pr.driving_force, 8)});
    }
    if (!absent.empty()) {
        out << "\nPhases considered but absent\n";
        absent.print(out);
    }

    out << "\nSystem\n";
    Table s({"Quantity", "Value", "Unit"});
    s.row({"H", format_number(r.H, 10), "J"});
    s.row({"S", format_number(r.S, 10), "J/K"});
    s.row({"G", format_number(r.G, 10), "J"});
    s.row({"Cp", format_number(r.Cp, 10), "J/K"});
    s.row({"heat of the calculation", format_number(r.heat, 10), "J"});
    s.print(out);
}

}  // namespace eqlink_tool
