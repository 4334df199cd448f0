#include "json/result_json.hpp"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string_view>

#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

using Json = nlohmann::ordered_json;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

std::string name(const Units& u, Quantity q) { return std::string(u.name(q)); }

// A quasichemical liquid: the site fractions of its ions (cation, then
// anion sublattice; the number of sites follows the composition) and the
// fractions of its quadruplets (pairs), "Ga-In-Va-Va".
void add_quasichem(Json& doc, const QuasichemData& d, const std::vector<double>& x) {
    const std::vector<Quadruplet> q = quadruplets(d);
    const std::vector<double> y = ion_site_fractions(d, q, x);
    Json cations = Json::array(), anions = Json::array(), quads = Json::array();
    for (int i = 0; i < d.ions(); ++i) {
        const bool cation = i < d.cations();
        (cation ? cations : anions)
            .push_back(Json{{"name", cation ? d.cation[sz(i)] : d.anion[sz(i - d.cations())]},
                            {"site_fraction", number(y[sz(i)])}});
    }
    for (std::size_t k = 0; k < q.size() && k < x.size(); ++k)
        quads.push_back(Json{{"name", quadruplet_name(d, q[k])}, {"fraction", number(x[k])}});
    doc["sublattices"] = Json::array({Json{{"sites", nullptr}, {"constituents", std::move(cations)}},
                                      Json{{"sites", nullptr}, {"constituents", std::move(anions)}}});
    doc["quadruplets"] = std::move(quads);
}

// An ionic liquid's two sublattices: site numbers P, Q and site fractions.
Json sublattices_json(const Phase& ph, const PhaseResult& pr) {
    Json out = Json::array();
    if (!ph.ionic || pr.sites.size() != 2) return out;
    const IonicLiquid& q = *ph.ionic;
    std::size_t k = 0;
    for (const std::vector<std::string>* names : {&q.cation, &q.site2}) {
        Json species = Json::array();
        for (const std::string& n : *names) {
            species.push_back(Json{{"name", n}, {"site_fraction", number(k < pr.site_fraction.size() ? pr.site_fraction[k] : 0.0)}});
            ++k;
        }
        out.push_back(Json{{"sites", number(pr.sites[out.size()])}, {"constituents", std::move(species)}});
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
    Json sublattices = Json::array();
    const Sublattices& sl = ph.sublattice;
    if (!sl.empty() && pr.site_fraction.size() == sz(sl.total())) {
        for (int t = 0; t < sl.count(); ++t) {
            Json on = Json::array();
            for (std::size_t k = 0; k < sl.names[sz(t)].size(); ++k)
                on.push_back(Json{{"name", sl.names[sz(t)][k]}, {"site_fraction", number(pr.site_fraction[sz(sl.first(t)) + k])}});
            sublattices.push_back(Json{{"sites", sl.sites[sz(t)]}, {"constituents", std::move(on)}});
        }
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
                {"sublattices", ph.ionic ? sublattices_json(ph, pr) : std::move(sublattices)}};
    if (ph.quasichem && !pr.site_fraction.empty()) add_quasichem(doc, *ph.quasichem, pr.site_fraction);
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
