#include "mapping_names.hpp"

#include <algorithm>
#include <optional>
#include <utility>

#include "names.hpp"

namespace eqlink_tool {
namespace {

namespace names = eqlink::names;

std::string trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

bool ends_with(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

struct Place {
    int phase = 0;
    int constituent = 0;
    bool operator==(const Place&) const = default;
};

// Where the mapping puts host name `name`: the gas pass first, then every
// further phase in order, the first match winning, as the plug-in's map
// lookups find the earliest record. Empty when the name maps nowhere or
// names a solution phase by its code without naming one of its species.
std::optional<Place> map_name(const eqcore::System& sys, const CodeLookup& code_of,
                              const std::string& name) {
    const names::GasHostName host = names::gas_host_name(name);
    if (host.gas && !host.known) return std::nullopt;
    // The gas pass looks at the first phase whatever its model.
    if (host.gas && !sys.phases.empty()) {
        for (int j = 0; j < sys.phases[0].count; ++j)
            if (names::gas_match(names::gas_constituent(sys.constituent(0, j).name, host.dollar),
                                 host))
                return Place{0, j};
    }
    for (int p = 1; p < sys.phase_count(); ++p) {
        const eqcore::Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        if (ph.model != eqcore::Model::pure) {
            std::size_t base = 0;
            if (!names::solution_member(name, code_of(ph.name).code, base)) continue;
            for (int j = 0; j < ph.count; ++j)
                if (names::padded_equal(
                        names::solution_constituent(sys.constituent(p, j).name).name,
                        std::string_view(name).substr(0, base)))
                    return Place{p, j};
            return std::nullopt;
        }
        if (names::pure_match(names::pure_host_name(name),
                              names::pure_constituent(sys.constituent(p, 0).name)))
            return Place{p, 0};
    }
    return std::nullopt;
}

// Names a user would write for the species, most usual first.
std::vector<std::string> candidates(const eqcore::System& sys, const CodeLookup& code_of, int p,
                                    int j) {
    const eqcore::Phase& ph = sys.phases[static_cast<std::size_t>(p)];
    const std::string& species = sys.constituent(p, j).name;
    if (p == 0) {
        std::string base = species.substr(0, species.find('_'));
        std::string suffix = ":G1";
        if (ends_with(base, "(g)")) {
            base.resize(base.size() - 3);
        } else if (base.size() >= 4 && base[base.size() - 4] == '(' &&
                   base[base.size() - 3] == 'g' && base.back() == ')') {
            suffix = std::string(":G") + base[base.size() - 2];
            base.resize(base.size() - 4);
        }
        base = names::upper(base);
        // Species whose upper-case form is another species (Co, CO) carry a
        // dollar sign in the host's name.
        return {base + suffix, base + "$" + suffix};
    }
    if (ph.model != eqcore::Model::pure)
        return {trimmed(names::solution_constituent(species).name) + ":" +
                trimmed(code_of(ph.name).code)};
    const std::string m = trimmed(names::pure_constituent(species).name);
    const auto open = m.rfind('(');
    if (!ends_with(m, ")") || open == std::string::npos || open == 0) return {m + ":S1", m};
    const std::string base = m.substr(0, open);
    const std::string state = m.substr(open + 1, m.size() - open - 2);
    std::vector<std::string> out;
    if (state == "S")
        out.push_back(base + ":S1");
    else if (state == "LIQ")
        out.push_back(base + ":L1");
    else if (state == "G")
        out.push_back(base + ":G1");
    else if (state.size() == 2)
        out.push_back(base + ":" + state);
    out.push_back(base);
    out.push_back(m);
    return out;
}

int kind_of(const eqcore::System& sys, const CodeLookup& code_of, int p, const std::string& name) {
    const eqcore::Phase& ph = sys.phases[static_cast<std::size_t>(p)];
    if (p == 0) return 1;
    if (ph.model != eqcore::Model::pure) return code_of(ph.name).kind;
    return names::pure_host_name(name).kind;
}

std::size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

SolutionCode default_code(const std::string& phase_name) {
    return {phase_name.substr(0, 4), 2};
}

std::vector<MappingName> mapping_names(const eqcore::System& sys, const CodeLookup& code_of) {
    std::vector<MappingName> out;
    for (int p = 0; p < sys.phase_count(); ++p) {
        if (sys.phases[static_cast<std::size_t>(p)].dormant) continue;
        for (int j = 0; j < sys.phases[static_cast<std::size_t>(p)].count; ++j) {
            MappingName m{p, j, {}, 0, 1.0};
            if (sys.phases[static_cast<std::size_t>(p)].model != eqcore::Model::pure && p > 0)
                m.factor = names::solution_constituent(sys.constituent(p, j).name).factor;
            for (const std::string& name : candidates(sys, code_of, p, j)) {
                if (name.size() > 32 || map_name(sys, code_of, name) != Place{p, j}) continue;
                m.name = name;
                m.kind = kind_of(sys, code_of, p, name);
                break;
            }
            out.push_back(std::move(m));
        }
    }
    return out;
}

std::vector<std::string> nearest_names(const std::vector<MappingName>& names,
                                       const std::string& name, std::size_t count) {
    const std::string key = names::upper(name);
    std::vector<std::pair<std::size_t, std::string>> ranked;
    for (const MappingName& m : names)
        if (!m.name.empty()) ranked.emplace_back(edit_distance(key, names::upper(m.name)), m.name);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < ranked.size() && out.size() < count; ++i)
        out.push_back(ranked[i].second);
    return out;
}

}  // namespace eqlink_tool
