// Reads a case file (TOML) into a Case. Every table is checked for unknown
// keys, every value for its type and range, every component ID against the
// case's components; errors name the file, the line and the key.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <sstream>
#include <toml++/toml.h>

#include "case_file.hpp"
#include "formula.hpp"
#include "setup_error.hpp"
#include "input_error.hpp"
#include "load_system.hpp"

namespace eqlink_tool {
namespace {

class Reader {
public:
    explicit Reader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const toml::node* at, const std::string& key, const std::string& what) const {
        const auto line = at ? at->source().begin.line : 0;
        throw InputError(file_ + ":" + std::to_string(line) + ": " + key + ": " + what);
    }

    // Every key of `t` must be one of `allowed`.
    void only(const toml::table& t, const std::string& path, std::initializer_list<std::string_view> allowed) const {
        for (const auto& [k, v] : t) {
            bool ok = false;
            for (auto a : allowed) ok = ok || k.str() == a;
            if (!ok) fail(&v, join(path, std::string(k.str())), "unknown key");
        }
    }

    static std::string join(const std::string& path, const std::string& key) {
        return path.empty() ? key : path + "." + key;
    }

    const toml::node* need(const toml::table& t, const std::string& path, const std::string& key) const {
        const toml::node* n = t.get(key);
        if (!n) fail(&t, join(path, key), "missing (required)");
        return n;
    }

    double real(const toml::node& n, const std::string& key) const {
        if (auto v = n.as_floating_point()) return v->get();
        if (auto v = n.as_integer()) return static_cast<double>(v->get());
        fail(&n, key, std::string("expected a number, found ") + type_name(n));
    }
    long long integer(const toml::node& n, const std::string& key) const {
        if (auto v = n.as_integer()) return v->get();
        fail(&n, key, std::string("expected an integer, found ") + type_name(n));
    }
    std::string string(const toml::node& n, const std::string& key) const {
        if (auto v = n.as_string()) return v->get();
        fail(&n, key, std::string("expected a string, found ") + type_name(n));
    }
    bool boolean(const toml::node& n, const std::string& key) const {
        if (auto v = n.as_boolean()) return v->get();
        fail(&n, key, std::string("expected true or false, found ") + type_name(n));
    }
    const toml::array& array(const toml::node& n, const std::string& key) const {
        if (auto v = n.as_array()) return *v;
        fail(&n, key, std::string("expected an array, found ") + type_name(n));
    }
    const toml::table& table(const toml::node& n, const std::string& key) const {
        if (auto v = n.as_table()) return *v;
        fail(&n, key, std::string("expected a table, found ") + type_name(n));
    }

    // A temperature (K) or pressure (Pa) of a calculation: finite and above 0.
    void temperature(const toml::node* at, const std::string& key, double v) const {
        if (!(std::isfinite(v) && v > 0.0)) fail(at, key, "the temperature must be above 0 K, found " + number(v));
    }
    void pressure(const toml::node* at, const std::string& key, double v) const {
        if (!(std::isfinite(v) && v > 0.0)) fail(at, key, "the pressure must be above 0 Pa, found " + number(v));
    }
    static std::string number(double v) {
        std::ostringstream s;
        s << v;
        return s.str();
    }

    // Optional values: set `out` when the key is present.
    template <typename T, typename Get>
    void opt(const toml::table& t, const std::string& path, const std::string& key, T& out, Get get) const {
        if (const toml::node* n = t.get(key)) out = (this->*get)(*n, join(path, key));
    }

    static const char* type_name(const toml::node& n) {
        switch (n.type()) {
            case toml::node_type::string: return "a string";
            case toml::node_type::integer: return "an integer";
            case toml::node_type::floating_point: return "a number";
            case toml::node_type::boolean: return "a boolean";
            case toml::node_type::array: return "an array";
            case toml::node_type::table: return "a table";
            default: return "a date or time";
        }
    }

private:
    std::string file_;
};

struct Context {
    const Reader& r;
    std::set<std::string> ids;

    void known(const toml::node* at, const std::string& key, const std::string& id) const {
        if (!ids.count(id)) r.fail(at, key, "unknown component ID \"" + id + "\"");
    }

    // { ID = value, ... } with every ID a component of the case.
    ByComponent by_component(const toml::node& n, const std::string& key, bool nonnegative) const {
        ByComponent out;
        for (const auto& [k, v] : r.table(n, key)) {
            const std::string id(k.str());
            const std::string at = key + "." + id;
            known(&v, at, id);
            const double value = r.real(v, at);
            if (nonnegative && !(value >= 0.0)) r.fail(&v, at, "a flow must be at least 0");
            out.emplace_back(id, value);
        }
        return out;
    }

    StreamSpec stream(const toml::table& t, const std::string& path) const {
        r.only(t, path, {"T", "P", "mixed", "cisolid", "noncon"});
        StreamSpec s;
        r.opt(t, path, "T", s.T, &Reader::real);
        r.opt(t, path, "P", s.P, &Reader::real);
        r.temperature(t.get("T"), Reader::join(path, "T"), s.T);
        r.pressure(t.get("P"), Reader::join(path, "P"), s.P);
        if (const auto* n = t.get("mixed")) s.mixed = by_component(*n, Reader::join(path, "mixed"), true);
        if (const auto* n = t.get("cisolid")) s.cisolid = by_component(*n, Reader::join(path, "cisolid"), true);
        if (const auto* n = t.get("noncon")) {
            const double f = r.real(*n, Reader::join(path, "noncon"));
            if (!(f >= 0.0)) r.fail(n, Reader::join(path, "noncon"), "a flow must be at least 0");
            s.noncon = f;
        }
        return s;
    }
};

void check_length(const Reader& r, const toml::node* at, const std::string& key, const std::string& v,
                  std::size_t max) {
    if (v.empty() || v.size() > max)
        r.fail(at, key, "\"" + v + "\" must have 1 to " + std::to_string(max) + " characters");
}

CaseComponent component(const Reader& r, const toml::table& t, const std::string& path) {
    r.only(t, path, {"id", "name", "formula", "mw"});
    CaseComponent c;
    c.id = r.string(*r.need(t, path, "id"), path + ".id");
    check_length(r, t.get("id"), path + ".id", c.id, 8);
    c.name = r.string(*r.need(t, path, "name"), path + ".name");
    check_length(r, t.get("name"), path + ".name", c.name, 32);
    c.name_line = static_cast<int>(t.get("name")->source().begin.line);
    c.formula = r.string(*r.need(t, path, "formula"), path + ".formula");
    c.formula_line = static_cast<int>(t.get("formula")->source().begin.line);
    check_length(r, t.get("formula"), path + ".formula", c.formula, 32);
    try {
        (void)elvar::parse_formula(c.formula);
    } catch (const elvar::SetupError& e) {
        r.fail(t.get("formula"), path + ".formula", e.what());
    }
    if (const auto* n = t.get("mw")) {
        c.mw = r.real(*n, path + ".mw");
        if (!(*c.mw > 0.0)) r.fail(n, path + ".mw", "the molecular weight must be above 0");
    }
    return c;
}

// x: mole fractions summing to 1, so that the stream holds one kmol; for a
// pure-component code 1 for each component (the default), so that each
// component's stream holds one kmol of it. A negative fraction is left to
// the plug-in and the engine, which refuse it naming the amount.
void mole_fractions(const Reader& r, const toml::table& t, const std::string& path, PropertyCalc& p) {
    const auto* xn = t.get("x");
    const bool pure = pure_component_code(p.code);
    if (!xn && pure) {
        p.x.assign(p.components.size(), 1.0);
        return;
    }
    if (!xn) r.need(t, path, "x");
    const auto& xs = r.array(*xn, path + ".x");
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const std::string key = path + ".x[" + std::to_string(i + 1) + "]";
        p.x.push_back(r.real(xs[i], key));
        if (!std::isfinite(p.x.back())) r.fail(&xs[i], key, "expected a finite number, found " + Reader::number(p.x.back()));
        if (pure && p.x.back() != 1.0)
            r.fail(&xs[i], key,
                   "code " + std::to_string(p.code) + " gives each component's property as a pure substance per kmol: "
                   "x must be 1 for every component (or left out), found " + Reader::number(p.x.back()));
    }
    if (p.x.size() != p.components.size())
        r.fail(xn, path + ".x", std::to_string(p.x.size()) + " mole fractions for " +
                                    std::to_string(p.components.size()) + " components");
    if (pure || p.x.empty()) return;
    double sum = 0.0;
    for (double x : p.x) sum += x;
    if (std::fabs(sum - 1.0) > 1e-6)
        r.fail(xn, path + ".x",
               "the mole fractions sum to " + Reader::number(sum) + ", not 1" +
                   (std::fabs(sum - 100.0) <= 1e-4 ? " (percent? give fractions)" : ""));
}

PropertyCalc property(const Context& cx, const toml::table& t, const std::string& path, long long level) {
    const Reader& r = cx.r;
    r.only(t, path, {"kind", "code", "T", "P", "components", "x", "request", "level"});
    PropertyCalc p;
    p.level = level;
    const auto* code = r.need(t, path, "code");
    p.code = r.integer(*code, path + ".code");
    // The monitor would run any other code as 401.
    if (p.code < 401 || p.code > 430)
        r.fail(code, path + ".code", "expected a property code 401 to 430, found " + std::to_string(p.code));
    p.T = r.real(*r.need(t, path, "T"), path + ".T");
    p.P = r.real(*r.need(t, path, "P"), path + ".P");
    const auto& comps = r.array(*r.need(t, path, "components"), path + ".components");
    for (std::size_t i = 0; i < comps.size(); ++i) {
        const std::string key = path + ".components[" + std::to_string(i + 1) + "]";
        p.components.push_back(r.string(comps[i], key));
        cx.known(&comps[i], key, p.components.back());
    }
    mole_fractions(r, t, path, p);
    if (const auto* n = t.get("request")) {
        const auto& req = r.array(*n, path + ".request");
        if (req.size() != 4) r.fail(n, path + ".request", "expected four flags");
        for (std::size_t i = 0; i < 4; ++i)
            p.request[i] = r.integer(req[i], path + ".request[" + std::to_string(i + 1) + "]");
    }
    r.opt(t, path, "level", p.level, &Reader::integer);
    return p;
}

FlashCalc flash(const Context& cx, const toml::table& t, const std::string& path, long long level) {
    const Reader& r = cx.r;
    r.only(t, path, {"kind", "mode", "T", "P", "duty", "chemistry", "reactions", "phases", "phase", "tolerance",
                     "level", "feed"});
    FlashCalc f;
    f.level = level;
    const auto* mode = r.need(t, path, "mode");
    const std::string m = r.string(*mode, path + ".mode");
    if (m == "TP") f.kode = 2;
    else if (m == "PQ") f.kode = 1;
    else r.fail(mode, path + ".mode", "expected \"TP\" or \"PQ\", found \"" + m + "\"");
    if (const auto* n = t.get("T")) {
        f.T = r.real(*n, path + ".T");
        r.temperature(n, path + ".T", *f.T);
    }
    f.P = r.real(*r.need(t, path, "P"), path + ".P");
    r.pressure(t.get("P"), path + ".P", f.P);
    r.opt(t, path, "duty", f.duty, &Reader::real);
    r.opt(t, path, "chemistry", f.chemistry, &Reader::boolean);
    if (const auto* n = t.get("reactions")) {
        const auto& eqs = r.array(*n, path + ".reactions");
        f.reactions.emplace();
        for (std::size_t i = 0; i < eqs.size(); ++i)
            f.reactions->push_back(cx.by_component(eqs[i], path + ".reactions[" + std::to_string(i + 1) + "]", false));
        if (!f.chemistry) r.fail(n, path + ".reactions", "reactions are given but chemistry is false");
    }
    r.opt(t, path, "phases", f.phases, &Reader::integer);
    r.opt(t, path, "phase", f.phase, &Reader::integer);
    r.opt(t, path, "tolerance", f.tolerance, &Reader::real);
    r.opt(t, path, "level", f.level, &Reader::integer);
    f.feed = cx.stream(r.table(*r.need(t, path, "feed"), path + ".feed"), path + ".feed");
    return f;
}

BlockCalc block(const Context& cx, const toml::table& t, const std::string& path, long long level) {
    const Reader& r = cx.r;
    r.only(t, path, {"kind", "type", "pressure", "temperature", "duty", "tmin", "tmax", "phase_names", "products",
                     "outlets", "substreams", "heat_in", "heat_outlets", "level", "option_set", "inlet"});
    BlockCalc b;
    b.level = level;
    b.type = r.integer(*r.need(t, path, "type"), path + ".type");
    b.pressure = r.real(*r.need(t, path, "pressure"), path + ".pressure");
    r.pressure(t.get("pressure"), path + ".pressure", b.pressure);
    if (b.type == 1) {
        b.temperature = r.real(*r.need(t, path, "temperature"), path + ".temperature");
        r.temperature(t.get("temperature"), path + ".temperature", b.temperature);
    } else {
        r.opt(t, path, "temperature", b.temperature, &Reader::real);
    }
    if (b.type == 2) b.duty = r.real(*r.need(t, path, "duty"), path + ".duty");
    else r.opt(t, path, "duty", b.duty, &Reader::real);
    if (b.type == 3 || b.type == 4) {
        b.tmin = r.real(*r.need(t, path, "tmin"), path + ".tmin");
        b.tmax = r.real(*r.need(t, path, "tmax"), path + ".tmax");
        r.temperature(t.get("tmin"), path + ".tmin", b.tmin);
        r.temperature(t.get("tmax"), path + ".tmax", b.tmax);
    } else {
        r.opt(t, path, "tmin", b.tmin, &Reader::real);
        r.opt(t, path, "tmax", b.tmax, &Reader::real);
    }
    if (const auto* n = t.get("phase_names")) {
        const auto& a = r.array(*n, path + ".phase_names");
        if (a.size() != 2) r.fail(n, path + ".phase_names", "expected two integers");
        b.phase_names = std::array<long long, 2>{r.integer(a[0], path + ".phase_names[1]"),
                                                 r.integer(a[1], path + ".phase_names[2]")};
    }
    if (const auto* n = t.get("products")) {
        const auto& a = r.array(*n, path + ".products");
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string key = path + ".products[" + std::to_string(i + 1) + "]";
            b.products.push_back(r.string(a[i], key));
            check_length(r, &a[i], key, b.products.back(), 70);
        }
    }
    r.opt(t, path, "outlets", b.outlets, &Reader::integer);
    if (b.outlets < 1) r.fail(t.get("outlets"), path + ".outlets", "a block needs at least one outlet");
    if (const auto* n = t.get("substreams")) {
        const auto& a = r.array(*n, path + ".substreams");
        b.substreams.clear();
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string key = path + ".substreams[" + std::to_string(i + 1) + "]";
            const std::string s = r.string(a[i], key);
            if (s != "MIXED" && s != "CISOLID" && s != "NC")
                r.fail(&a[i], key, "expected \"MIXED\", \"CISOLID\" or \"NC\", found \"" + s + "\"");
            b.substreams.push_back(s);
        }
        if (b.substreams.empty()) r.fail(n, path + ".substreams", "a stream needs at least one substream");
    }
    if (const auto* n = t.get("heat_in")) {
        const auto& a = r.array(*n, path + ".heat_in");
        for (std::size_t i = 0; i < a.size(); ++i)
            b.heat_in.push_back(r.real(a[i], path + ".heat_in[" + std::to_string(i + 1) + "]"));
    }
    r.opt(t, path, "heat_outlets", b.heat_outlets, &Reader::integer);
    if (b.heat_outlets < 0) r.fail(t.get("heat_outlets"), path + ".heat_outlets", "must be at least 0");
    r.opt(t, path, "level", b.level, &Reader::integer);
    r.opt(t, path, "option_set", b.option_set, &Reader::string);
    check_length(r, t.get("option_set"), path + ".option_set", b.option_set, 16);
    if (const auto* n = t.get("inlet")) {
        const auto& a = r.array(*n, path + ".inlet");
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string key = path + ".inlet[" + std::to_string(i + 1) + "]";
            b.inlets.push_back(cx.stream(r.table(a[i], key), key));
            // Flows of a substream the block's streams do not have would be lost.
            const auto& t_in = *a[i].as_table();
            auto has = [&](const char* s) {
                return std::find(b.substreams.begin(), b.substreams.end(), s) != b.substreams.end();
            };
            if (b.inlets.back().cisolid && !has("CISOLID"))
                r.fail(t_in.get("cisolid"), key + ".cisolid", "the block's streams have no CISOLID substream");
            if (b.inlets.back().noncon && !has("NC"))
                r.fail(t_in.get("noncon"), key + ".noncon", "the block's streams have no NC substream");
            if (!b.inlets.back().mixed.empty() && !has("MIXED"))
                r.fail(t_in.get("mixed"), key + ".mixed", "the block's streams have no MIXED substream");
        }
    }
    return b;
}

}  // namespace

bool pure_component_code(long long code) { return code >= 416 && code <= 430; }

Case read_case(const std::filesystem::path& file) {
    const std::string name = file.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) throw InputError(name + ": case file not found");
    toml::table doc;
    try {
        doc = toml::parse_file(name);
    } catch (const toml::parse_error& e) {
        throw InputError(name + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description()));
    }
    const Reader r(name);
    r.only(doc, "", {"data", "trace", "diagnostic_level", "report", "component", "calculation"});

    Case c;
    c.file = file;
    c.data_name = r.string(*r.need(doc, "", "data"), "data");
    c.data = file.parent_path() / c.data_name;
    if (c.data_name.empty()) r.fail(doc.get("data"), "data", "the data file name is empty");
    if (!eqlink_reads(c.data_name))
        r.fail(doc.get("data"), "data",
               "\"" + c.data_name + "\": EQLINK reads a data file named .dat (text) or .cst (compiled), by its extension");
    r.opt(doc, "", "trace", c.trace, &Reader::boolean);
    r.opt(doc, "", "diagnostic_level", c.diagnostic_level, &Reader::integer);
    c.report = file.stem().string() + ".rep";
    r.opt(doc, "", "report", c.report, &Reader::string);

    Context cx{r, {}};
    if (const auto* n = doc.get("component")) {
        const auto& a = r.array(*n, "component");
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string path = "component[" + std::to_string(i + 1) + "]";
            c.components.push_back(component(r, r.table(a[i], path), path));
            if (!cx.ids.insert(c.components.back().id).second)
                r.fail(&a[i], path + ".id", "component ID \"" + c.components.back().id + "\" given twice");
        }
    }
    if (c.components.empty()) r.fail(&doc, "component", "a case needs at least one [[component]]");

    if (const auto* n = doc.get("calculation")) {
        const auto& a = r.array(*n, "calculation");
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string path = "calculation[" + std::to_string(i + 1) + "]";
            const auto& t = r.table(a[i], path);
            const auto* kind_node = r.need(t, path, "kind");
            const std::string kind = r.string(*kind_node, path + ".kind");
            Calculation calc;
            calc.line = static_cast<int>(a[i].source().begin.line);
            if (kind == "property") calc.what = property(cx, t, path, c.diagnostic_level);
            else if (kind == "flash") calc.what = flash(cx, t, path, c.diagnostic_level);
            else if (kind == "block") calc.what = block(cx, t, path, c.diagnostic_level);
            else r.fail(kind_node, path + ".kind", "expected \"property\", \"flash\" or \"block\", found \"" + kind + "\"");
            c.calculations.push_back(std::move(calc));
        }
    }
    return c;
}

}  // namespace eqlink_tool
