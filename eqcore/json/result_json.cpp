#include "json/result_json.hpp"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string_view>

#include "session/site_fractions.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

using Json = nlohmann::ordered_json;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

std::string name(const Units& u, Quantity q) { return std::string(u.name(q)); }

// A quasichemical liquid's quadruplets (pairs), "Ga-In-Va-Va", with their fractions.
Json quadruplets_json(const QuasichemData& d, const std::vector<double>& x) {
    const std::vector<Quadruplet> q = quadruplets(d);
    Json quads = Json::array();
    for (std::size_t k = 0; k < q.size() && k < x.size(); ++k)
        quads.push_back(Json{{"name", quadruplet_name(d, q[k])}, {"fraction", number(x[k])}});
    return quads;
}

// The site fractions of every sublattice of the phase (none for a phase
// without sublattices).
Json sublattices_json(const Phase& ph, const PhaseResult& pr) {
    Json out = Json::array();
    for (const SublatticeFractions& s : phase_site_fractions(ph, pr)) {
        Json on = Json::array();
        for (std::size_t k = 0; k < s.names.size(); ++k)
            on.push_back(Json{{"name", s.names[k]}, {"site_fraction", number(s.fraction[k])}});
        out.push_back(Json{{"sites", number(s.sites)}, {"constituents", std::move(on)}});
    }
    return out;
}

Json phase_json(const System& sys, const Units& u, const EquilibriumResult& r, int p) {
    const Phase& ph = sys.phases[sz(p)];
    const PhaseResult& pr = r.phases[sz(p)];
    Json constituents = Json::array();
    double amount = 0.0;
    for (int k = 0; k < ph.count; ++k) {
        const int g = ph.first + k;
        const double a = amount_in_unit(u, sys, g, r.amount[sz(g)]);
        amount += a;
        constituents.push_back(Json{{"name", sys.constituents[sz(g)].name},
                                    {"amount", number(a)},
                                    {"mole_fraction", number(r.mole_fraction[sz(g)])},
                                    {"activity", number(r.activity[sz(g)])},
                                    {"mu", number(u.energy_from_si(r.mu[sz(g)]))}});
    }
    Json doc{{"name", ph.name},
                {"model", ph.model_code},
                {"considered", pr.considered},
                {"present", pr.present},
                {"amount", number(amount)},
                {"G", number(u.energy_from_si(pr.G))},
                {"H", number(u.energy_from_si(pr.H))},
                {"S", number(u.entropy_from_si(pr.S))},
                {"Cp", number(u.entropy_from_si(pr.Cp))},
                {"V", number(u.volume_from_si(pr.V))},
                {"driving_force", number(u.energy_from_si(pr.driving_force))},
                {"constituents", std::move(constituents)},
                {"sublattices", sublattices_json(ph, pr)}};
    if (ph.quasichem && !pr.site_fraction.empty()) doc["quadruplets"] = quadruplets_json(*ph.quasichem, pr.site_fraction);
    return doc;
}

}  // namespace

Units si_units() {
    Units u;
    u.set("pressure", "Pa");
    u.set("volume", "m3");
    return u;
}

std::string equilibrium_json(const System& sys, const Units& u, const EquilibriumResult& r, int indent) {
    const std::string energy = name(u, Quantity::energy);
    Json elements = Json::array();
    for (int j = 0; j < sys.element_count(); ++j) {
        const double b = j < static_cast<int>(r.element_amount.size()) ? r.element_amount[sz(j)] : 0.0;
        const double pi = j < static_cast<int>(r.element_potential.size()) ? r.element_potential[sz(j)] : 0.0;
        elements.push_back(Json{{"name", sys.elements[sz(j)].symbol},
                                {"amount", number(u.amount_from_mol(b, u.amount_is_mass() ? sys.elements[sz(j)].mass : 1.0))},
                                {"potential", number(u.energy_from_si(pi))}});
    }
    Json phases = Json::array();
    for (int p = 0; p < sys.phase_count(); ++p) phases.push_back(phase_json(sys, u, r, p));
    const Json doc{{"schema", kEquilibriumSchema},
                   {"system", sys.title},
                   {"units",
                    {{"temperature", name(u, Quantity::temperature)},
                     {"pressure", name(u, Quantity::pressure)},
                     {"volume", name(u, Quantity::volume)},
                     {"energy", energy},
                     {"amount", name(u, Quantity::amount)},
                     {"entropy", energy + "/" + name(u, Quantity::temperature)},
                     {"potential", energy + "/mol"}}},
                   {"T", number(u.temperature_from_si(r.T))},
                   {"P", number(u.pressure_from_si(r.P))},
                   {"V", number(u.volume_from_si(r.V))},
                   {"G", number(u.energy_from_si(r.G))},
                   {"H", number(u.energy_from_si(r.H))},
                   {"S", number(u.entropy_from_si(r.S))},
                   {"Cp", number(u.entropy_from_si(r.Cp))},
                   {"H_in", number(u.energy_from_si(r.H_in))},
                   {"heat", number(u.energy_from_si(r.heat))},
                   {"calculations", r.calculations},
                   {"iterations", r.iterations},
                   {"elements", std::move(elements)},
                   {"phases", std::move(phases)}};
    return doc.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace eqcore
