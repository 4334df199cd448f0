// eqcore._core: the compiled part of the Python package. Thin bindings over
// the engine: a loaded system (immutable, shared by threads), an Engine per
// thread, results with their values in the units in force. The engine runs
// without the interpreter's lock; engine failures become the package's
// exceptions (eqcore.DataError, eqcore.CalculationError, ValueError).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "check/acceptance.hpp"
#include "data/read_dat.hpp"
#include "engine.hpp"
#include "json/result_json.hpp"
#include "load.hpp"
#include "native_result.hpp"
#include "session/error.hpp"
#include "session/listing.hpp"
#include "session/session.hpp"
#include "session/site_fractions.hpp"
#include "session/version.hpp"

namespace py = pybind11;
using namespace eqcore;
using namespace eqcore::python;

namespace {

using SystemPtr = std::shared_ptr<const System>;

// A loaded system as Python holds it: immutable, shared by every engine.
struct NativeSystem {
    SystemPtr system;
};
using Array = py::array_t<double>;
using Mask = py::array_t<bool>;

// Text of the data file (names, titles, messages quoting it) as a Python
// str: bytes that are not UTF-8 are replaced, never an exception.
py::str text(const std::string& s) {
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(s.data(), static_cast<py::ssize_t>(s.size()), "replace"));
}

// The package's exception classes (eqcore/errors.py).
py::object error_class(const char* name) {
    return py::module_::import("eqcore.errors").attr(name);
}

void translate(std::exception_ptr p) {
    try {
        if (p) std::rethrow_exception(p);
    } catch (const DataError& e) {
        py::dict a;
        a["file"] = text(e.file());
        a["line"] = e.line();
        a["code"] = static_cast<int>(Error::data_file);
        PyErr_SetObject(error_class("DataError").ptr(), error_class("DataError")(text(e.what()), **a).ptr());
    } catch (const Failure& e) {
        const int code = static_cast<int>(e.code());
        std::string message(error_text(e.code()));
        if (*e.what()) message += std::string(": ") + e.what();
        py::dict a;
        a["code"] = code;
        const char* cls = "Error";
        if (code >= 10 && code <= 13) cls = "DataError";
        else if (code >= 50 && code <= 58) cls = "CalculationError";
        else if (code == static_cast<int>(Error::out_of_memory)) {
            PyErr_SetObject(PyExc_MemoryError, text(message).ptr());
            return;
        } else if (code != static_cast<int>(Error::internal)) {
            PyErr_SetObject(PyExc_ValueError, text(message).ptr());
            return;
        }
        PyErr_SetObject(error_class(cls).ptr(), error_class(cls)(text(message), **a).ptr());
    }
}

py::array_t<double> vector_array(const std::vector<double>& v) {
    return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
}

py::array_t<bool> bool_array(const std::vector<std::uint8_t>& v) {
    py::array_t<bool> a(static_cast<py::ssize_t>(v.size()));
    bool* d = a.mutable_data();
    for (std::size_t i = 0; i < v.size(); ++i) d[i] = v[i] != 0;
    return a;
}

std::vector<char> flags(const py::object& o) {
    if (o.is_none()) return {};
    const std::string s = py::bytes(o);
    return {s.begin(), s.end()};
}

Request request(double T, double P, double feed_T, std::vector<int> idx, std::vector<double> amt,
                std::vector<double> elements, int target, int target_phase, double target_value, bool checked) {
    Request q;
    q.checked = checked;
    q.T = T;
    q.P = P;
    q.feed_T = feed_T;
    q.stream_index = std::move(idx);
    q.stream_amount = std::move(amt);
    q.elements = std::move(elements);
    if (target < 0 || target > 3) throw Failure(Error::internal, "unknown target kind " + std::to_string(target));
    q.target = static_cast<TargetKind>(target);
    q.target_phase = target_phase;
    q.target_value = target_value;
    return q;
}

py::dict describe(const System& sys) {
    py::list elements, phases, constituents;
    for (const Element& e : sys.elements) elements.append(py::make_tuple(text(e.symbol), e.mass));
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        py::dict d;
        d["name"] = text(ph.name);
        d["model"] = text(ph.model_code);
        d["dormant"] = ph.dormant;
        d["mixture"] = ph.is_mixture();
        d["gas"] = ph.is_gas();
        d["first"] = ph.first;
        d["count"] = ph.count;
        py::list lattices;  // (sites, constituent names) per sublattice
        for (int t = 0; t < ph.sublattice.count(); ++t) {
            py::list names;
            for (const std::string& n : ph.sublattice.names[static_cast<std::size_t>(t)]) names.append(text(n));
            lattices.append(py::make_tuple(ph.sublattice.sites[static_cast<std::size_t>(t)], py::tuple(names)));
        }
        d["sublattices"] = lattices;
        phases.append(d);
    }
    for (const Constituent& c : sys.constituents) constituents.append(py::make_tuple(text(c.name), c.phase));
    py::list warnings;
    for (const std::string& w : sys.warnings) warnings.append(text(w));
    py::dict d;
    d["title"] = text(sys.title);
    d["elements"] = elements;
    d["phases"] = phases;
    d["constituents"] = constituents;
    d["warnings"] = warnings;
    return d;
}

py::array_t<double> stoichiometry(const System& sys) {
    const auto nc = static_cast<py::ssize_t>(sys.constituents.size()), ne = static_cast<py::ssize_t>(sys.elements.size());
    py::array_t<double> a({nc, ne});
    auto m = a.mutable_unchecked<2>();
    for (py::ssize_t g = 0; g < nc; ++g)
        for (py::ssize_t j = 0; j < ne; ++j) {
            const auto& st = sys.constituents[static_cast<std::size_t>(g)].stoich;
            m(g, j) = static_cast<std::size_t>(j) < st.size() ? st[static_cast<std::size_t>(j)] : 0.0;
        }
    return a;
}

// Per phase of the result (system order): its sublattices, each a tuple
// (sites or None where they follow the composition, constituent names,
// site fractions as an array); an empty list for a phase without them.
py::list site_fractions(const NativeResult& r) {
    py::list phases;
    const System& sys = *r.system;
    for (std::size_t p = 0; p < sys.phases.size(); ++p) {
        py::list lattices;
        for (const SublatticeFractions& s : phase_site_fractions(sys.phases[p], r.result.phases[p])) {
            py::list names;
            for (const std::string& n : s.names) names.append(text(n));
            lattices.append(py::make_tuple(std::isfinite(s.sites) ? py::object(py::float_(s.sites)) : py::object(py::none()),
                                           py::tuple(names), vector_array(s.fraction)));
        }
        phases.append(lattices);
    }
    return phases;
}

// The columns a step writes (name, width in values per row; 0 for one value).
struct ColumnDef {
    const char* name;
    int width;  // 0: one per row; -1 phases, -2 constituents, -3 elements
    bool flags;
};
constexpr ColumnDef kStepColumns[] = {
    {"ok", 0, true},      {"T", 0, false},    {"P", 0, false},     {"G", 0, false},
    {"H", 0, false},      {"S", 0, false},    {"Cp", 0, false},    {"V", 0, false},
    {"H_in", 0, false},   {"heat", 0, false}, {"phase_amount", -1, false}, {"present", -1, true},
    {"driving_force", -1, false}, {"amount", -2, false}, {"mole_fraction", -2, false}, {"element_potential", -3, false}};

// Empty step columns for `rows` points of the engine's system.
py::dict step_columns(const Engine& engine, py::ssize_t rows) {
    const System& sys = engine.system();
    const py::ssize_t widths[] = {static_cast<py::ssize_t>(sys.phases.size()), static_cast<py::ssize_t>(sys.constituents.size()),
                                  static_cast<py::ssize_t>(sys.elements.size())};
    py::dict out;
    for (const ColumnDef& d : kStepColumns) {
        std::vector<py::ssize_t> shape{rows};
        if (d.width < 0) shape.push_back(widths[-d.width - 1]);
        if (d.flags) out[d.name] = py::array_t<std::uint8_t>(shape);
        else out[d.name] = Array(shape);
    }
    return out;
}

// A step of `values`, written to rows start .. start + n of the arrays of
// `out` (C-ordered, as step_columns makes them), or to new arrays when `out`
// is None. Returns the arrays and "failures": (row of the block, error
// number, message) of the points that failed.
py::dict step(Engine& engine, const Request& q, int variable, const py::array_t<double, py::array::c_style | py::array::forcecast>& values,
              int step_constituent, std::vector<double> step_formula, double step_formula_mass, const py::object& out_obj,
              py::ssize_t start) {
    if (variable < 0 || variable > 2) throw Failure(Error::internal, "unknown step variable " + std::to_string(variable));
    if (values.ndim() != 1) throw Failure(Error::invalid_value, "the stepped values must be one-dimensional");
    const System& sys = engine.system();
    const auto n = values.shape(0);
    const py::ssize_t widths[] = {static_cast<py::ssize_t>(sys.phases.size()), static_cast<py::ssize_t>(sys.constituents.size()),
                                  static_cast<py::ssize_t>(sys.elements.size())};
    if (out_obj.is_none()) start = 0;
    py::dict out = out_obj.is_none() ? step_columns(engine, n) : out_obj.cast<py::dict>();
    // Pointer to row `start` of a column, after checking its type and shape.
    auto row0 = [&](const ColumnDef& d) -> void* {
        const py::array a = out[d.name].cast<py::array>();
        const py::ssize_t width = d.width < 0 ? widths[-d.width - 1] : 0;
        const bool type_ok = d.flags ? a.dtype().is(py::dtype::of<std::uint8_t>()) : a.dtype().is(py::dtype::of<double>());
        if (!type_ok || !(a.flags() & py::array::c_style) || !a.writeable() || a.ndim() != (width ? 2 : 1) ||
            a.shape(0) < start + n || start < 0 || (width && a.shape(1) != width))
            throw Failure(Error::internal, std::string("step column ") + d.name + " has the wrong type or shape");
        return static_cast<char*>(py::array(a).mutable_data()) + start * (width ? width : 1) * a.itemsize();
    };
    StepColumns c;
    c.ok = static_cast<std::uint8_t*>(row0(kStepColumns[0]));
    double** scalars[] = {&c.T, &c.P, &c.G, &c.H, &c.S, &c.Cp, &c.V, &c.H_in, &c.heat};
    for (std::size_t i = 0; i < 9; ++i) *scalars[i] = static_cast<double*>(row0(kStepColumns[i + 1]));
    c.phase_amount = static_cast<double*>(row0(kStepColumns[10]));
    c.present = static_cast<std::uint8_t*>(row0(kStepColumns[11]));
    c.driving_force = static_cast<double*>(row0(kStepColumns[12]));
    c.amount = static_cast<double*>(row0(kStepColumns[13]));
    c.mole_fraction = static_cast<double*>(row0(kStepColumns[14]));
    c.element_potential = static_cast<double*>(row0(kStepColumns[15]));
    StepAmount amount{step_constituent, std::move(step_formula), step_formula_mass};
    const double* v = values.data();
    std::vector<StepFailure> failures;
    {
        py::gil_scoped_release unlocked;
        failures = engine.step(q, static_cast<StepVariable>(variable), v, static_cast<std::size_t>(n), amount, c);
    }
    py::list f;
    for (const auto& x : failures)
        f.append(py::make_tuple(x.row, x.code, text(std::string(error_text(static_cast<Error>(x.code))) + ": " + x.message)));
    py::dict result;  // a new dict: `out` belongs to the caller
    for (const auto& item : out) result[item.first] = item.second;
    result["failures"] = f;
    return result;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "EQCORE's compiled core; use the eqcore package instead.";
    py::register_exception_translator(translate);
    m.attr("engine_version") = py::make_tuple(kVersionMajor, kVersionMinor);
    m.attr("json_schema") = kEquilibriumSchema;

    py::class_<NativeSystem>(m, "NativeSystem")
        .def_static(
            "load",
            [](const std::string& path) {
                py::gil_scoped_release unlocked;
                return NativeSystem{load_file(path)};
            },
            py::arg("path"))
        .def_static(
            "from_bytes",
            [](const py::bytes& data, const std::string& name) {
                const std::string_view bytes = data;
                py::gil_scoped_release unlocked;
                return NativeSystem{load_bytes(bytes, name)};
            },
            py::arg("data"), py::arg("name"))
        .def("describe", [](const NativeSystem& s) { return describe(*s.system); })
        .def("stoichiometry", [](const NativeSystem& s) { return stoichiometry(*s.system); })
        .def("molar_masses", [](const NativeSystem& s) {
            std::vector<double> masses(s.system->constituents.size());
            for (std::size_t g = 0; g < masses.size(); ++g) masses[g] = molar_mass(*s.system, static_cast<int>(g));
            return vector_array(masses);
        });

    py::class_<Units>(m, "Units")
        .def(py::init(&make_units), py::arg("temperature") = "", py::arg("pressure") = "", py::arg("volume") = "",
             py::arg("energy") = "", py::arg("amount") = "")
        .def("names", [](const Units& u) {
            return py::make_tuple(std::string(u.name(Quantity::temperature)), std::string(u.name(Quantity::pressure)),
                                  std::string(u.name(Quantity::volume)), std::string(u.name(Quantity::energy)),
                                  std::string(u.name(Quantity::amount)));
        })
        .def_property_readonly("amount_is_mass", &Units::amount_is_mass)
        .def("temperature_to_si", &Units::temperature_to_si)
        .def("temperature_from_si", &Units::temperature_from_si)
        .def("pressure_from_si", &Units::pressure_from_si)
        .def("amount_to_mol", &Units::amount_to_mol, py::arg("value"), py::arg("molar_mass"));

    py::class_<NativeResult, std::shared_ptr<NativeResult>>(m, "NativeResult")
        .def_property_readonly("T", [](const NativeResult& r) { return r.units.temperature_from_si(r.result.T); })
        .def_property_readonly("P", [](const NativeResult& r) { return r.units.pressure_from_si(r.result.P); })
        .def_property_readonly("V", [](const NativeResult& r) { return r.units.volume_from_si(r.result.V); })
        .def_property_readonly("G", [](const NativeResult& r) { return r.units.energy_from_si(r.result.G); })
        .def_property_readonly("H", [](const NativeResult& r) { return r.units.energy_from_si(r.result.H); })
        .def_property_readonly("S", [](const NativeResult& r) { return r.units.entropy_from_si(r.result.S); })
        .def_property_readonly("Cp", [](const NativeResult& r) { return r.units.entropy_from_si(r.result.Cp); })
        .def_property_readonly("H_in", [](const NativeResult& r) { return r.units.energy_from_si(r.result.H_in); })
        .def_property_readonly("heat", [](const NativeResult& r) { return r.units.energy_from_si(r.result.heat); })
        .def_property_readonly("calculations", [](const NativeResult& r) { return r.result.calculations; })
        .def_property_readonly("iterations", [](const NativeResult& r) { return r.result.iterations; })
        .def_property_readonly("units", [](const NativeResult& r) { return r.units; })
        .def("arrays", [](const NativeResult& r) {
            const ResultArrays a = result_arrays(r);
            py::dict d;
            d["amount"] = vector_array(a.amount);
            d["mole_fraction"] = vector_array(a.mole_fraction);
            d["activity"] = vector_array(a.activity);
            d["mu"] = vector_array(a.mu);
            d["phase_amount"] = vector_array(a.phase_amount);
            d["present"] = bool_array(a.present);
            d["considered"] = bool_array(a.considered);
            d["phase_G"] = vector_array(a.phase_G);
            d["phase_H"] = vector_array(a.phase_H);
            d["phase_S"] = vector_array(a.phase_S);
            d["phase_Cp"] = vector_array(a.phase_Cp);
            d["phase_V"] = vector_array(a.phase_V);
            d["driving_force"] = vector_array(a.driving_force);
            d["element_amount"] = vector_array(a.element_amount);
            d["element_potential"] = vector_array(a.element_potential);
            return d;
        })
        .def("site_fractions", &site_fractions)
        .def("listing", [](const NativeResult& r) {
            std::string s;
            for (const auto& line : result_listing(*r.system, r.units, r.result)) s += line + '\n';
            return text(s);
        })
        .def("json", [](const NativeResult& r, int indent) { return equilibrium_json(*r.system, r.units, r.result, indent); },
             py::arg("indent") = 2)
        .def("check", [](const NativeResult& r) {
            AcceptanceReport report;
            {
                py::gil_scoped_release unlocked;
                report = check_equilibrium(r.problem, r.result);
            }
            py::list faults;
            for (const std::string& f : report.faults) faults.append(text(f));
            return faults;
        });

    py::class_<PooledEngine>(m, "Engine")
        .def(py::init([](const NativeSystem& s) { return std::make_unique<PooledEngine>(s.system); }), py::arg("system"))
        .def("configure",
             [](PooledEngine& e, const Units& u, const py::object& phases, const py::object& constituents, double tlow,
                double thigh) { e.engine.configure(u, flags(phases), flags(constituents), tlow, thigh); },
             py::arg("units"), py::arg("phases"), py::arg("constituents"), py::arg("tlow"), py::arg("thigh"))
        .def(
            "equilibrate",
            [](PooledEngine& e, double T, double P, double feed_T, std::vector<int> idx, std::vector<double> amt,
               std::vector<double> elements, int target, int target_phase, double target_value, bool checked) {
                const Request q = request(T, P, feed_T, std::move(idx), std::move(amt), std::move(elements), target,
                                          target_phase, target_value, checked);
                std::shared_ptr<NativeResult> r = e.free_result();
                py::gil_scoped_release unlocked;
                run(e.engine, q, *r);
                return r;
            },
            py::arg("T"), py::arg("P"), py::arg("feed_T"), py::arg("index"), py::arg("amount"), py::arg("elements"),
            py::arg("target"), py::arg("target_phase"), py::arg("target_value"), py::arg("checked") = true)
        .def(
            "step",
            [](PooledEngine& e, double T, double P, double feed_T, std::vector<int> idx, std::vector<double> amt,
               std::vector<double> elements, int target, int target_phase, double target_value, int variable,
               const py::array_t<double, py::array::c_style | py::array::forcecast>& values, int step_constituent,
               std::vector<double> step_formula, double step_formula_mass, bool checked, const py::object& out,
               py::ssize_t start) {
                const Request q = request(T, P, feed_T, std::move(idx), std::move(amt), std::move(elements), target,
                                          target_phase, target_value, checked);
                return step(e.engine, q, variable, values, step_constituent, std::move(step_formula), step_formula_mass,
                            out, start);
            },
            py::arg("T"), py::arg("P"), py::arg("feed_T"), py::arg("index"), py::arg("amount"), py::arg("elements"),
            py::arg("target"), py::arg("target_phase"), py::arg("target_value"), py::arg("variable"), py::arg("values"),
            py::arg("step_constituent"), py::arg("step_formula"), py::arg("step_formula_mass"), py::arg("checked") = true,
            py::arg("out") = py::none(), py::arg("start") = 0)
        .def("step_columns", [](const PooledEngine& e, py::ssize_t rows) { return step_columns(e.engine, rows); })
        .def("forget", [](PooledEngine& e) { e.engine.forget(); });
}
