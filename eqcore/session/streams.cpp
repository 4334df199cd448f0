// Streams of the session and their properties as they enter.
#include <cmath>
#include <span>

#include "data/limits.hpp"
#include "session/session.hpp"
#include "session/text.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {

using text::number;

namespace {

Failure no_such_stream(std::string_view name) {
    return Failure(Error::unknown_stream, "stream '" + std::string(text::trimmed(name)) + "' is not defined");
}

}  // namespace

Stream* Session::find_stream(std::string_view name) {
    name = text::trimmed(name);
    for (Stream& s : streams_)
        if (s.name == name) return &s;
    return nullptr;
}

const Stream& Session::stream(std::string_view name) const {
    const std::string_view key = text::trimmed(name);
    for (const Stream& s : streams_)
        if (s.name == key) return s;
    throw no_such_stream(name);
}

void Session::define_stream(std::string_view name, double T, double P) {
    const System& sys = system();
    name = text::trimmed(name);
    if (name.empty()) throw Failure(Error::blank_stream_name, "a stream needs a name that is not blank");
    if (!(T > 0.0) || !std::isfinite(T))
        throw Failure(Error::invalid_value, "temperature " + number(T) + " K of stream '" + std::string(name) + "'");
    if (!(P > 0.0) || !std::isfinite(P))
        throw Failure(Error::invalid_value, "pressure " + number(P) + " Pa of stream '" + std::string(name) + "'");
    check_stream_temperature(name, T);
    invalidate_result();
    if (Stream* s = find_stream(name)) {
        s->T = T;
        s->P = P;
        return;
    }
    if (streams_.size() >= static_cast<std::size_t>(limits::kStreams))
        throw Failure(Error::too_many_streams, "stream '" + std::string(name) + "': at most " +
                                                   std::to_string(limits::kStreams) + " streams");
    Stream s;
    s.name = std::string(name);
    s.T = T;
    s.P = P;
    s.n.assign(sys.constituents.size(), 0.0);
    streams_.push_back(std::move(s));
}

void Session::add_amount(std::string_view name, int phase, int constituent, double mol) {
    check_constituent(phase, constituent);
    Stream* s = find_stream(name);
    if (s == nullptr) throw no_such_stream(name);
    if (!(mol >= 0.0) || !std::isfinite(mol))
        throw Failure(Error::invalid_amount, "amount " + number(mol) + " mol of " +
                                                 system_.constituent(phase, constituent).name + " in stream '" +
                                                 s->name + "' (must be 0 or more)");
    const Phase& ph = system_.phases[static_cast<std::size_t>(phase)];
    s->n[static_cast<std::size_t>(ph.first + constituent)] += mol;
    bool known = false;
    for (int p : s->phases) known = known || p == phase;
    if (!known) s->phases.push_back(phase);
    invalidate_result();
}

void Session::remove_stream(std::string_view name) {
    name = text::trimmed(name);
    if (name.empty()) {
        streams_.clear();
        invalidate_result();
        return;
    }
    // Removing a stream that is not defined leaves nothing to do: callers
    // clear a stream of a fixed name before defining it afresh.
    if (const Stream* s = find_stream(name)) {
        streams_.erase(streams_.begin() + (s - streams_.data()));
        invalidate_result();
    }
}

void Session::check_stream_temperature(std::string_view name, double T) const {
    if (T < tlow_ || T > thigh_)
        throw Failure(Error::temperature_outside_limits,
                      "temperature " + number(T) + " K of stream '" + std::string(name) + "' outside the limits " +
                          number(tlow_) + " K to " + number(thigh_) + " K");
}

std::span<const StandardProps> Session::standard_at(int phase, double T) const {
    const auto k = static_cast<std::size_t>(phase);
    std::vector<StandardProps>& values = standard_[k];
    if (!(standard_T_[k] == T)) {
        const PhaseModel& model = models_[phase];
        values.resize(static_cast<std::size_t>(model.layout().variables));
        model.standard(T, std::log(T), {}, values);
        standard_T_[k] = T;
    }
    return values;
}

double Session::stream_property(std::string_view name, StreamProperty what) const {
    const Stream& s = stream(name);
    // The limits may have changed since the stream was defined.
    check_stream_temperature(s.name, s.T);
    double sum = 0.0;
    for (int p : s.phases) {
        const Phase& ph = system_.phases[static_cast<std::size_t>(p)];
        const std::span<const double> n(s.n.data() + ph.first, static_cast<std::size_t>(ph.count));
        const PhaseModel& model = models_[p];
        // Where the amounts are the model's own variables, the kept
        // standard-state values serve; other layouts find their internal
        // state first.
        const PhaseProps pp = model.layout().identity ? evaluate(model, s.T, s.P, n, standard_at(p, s.T))
                                                      : phase_props(model, s.T, s.P, n);
        switch (what) {
            case StreamProperty::H: sum += pp.H; break;
            case StreamProperty::S: sum += pp.S; break;
            case StreamProperty::G: sum += pp.G; break;
            case StreamProperty::V: sum += pp.V; break;
            case StreamProperty::Cp: sum += pp.Cp; break;
        }
    }
    return sum;
}

}  // namespace eqcore
