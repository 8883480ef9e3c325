#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/interpreter.h"
#include "tests/support/action_assembler.h"

namespace swivio::swf::avm1 {

// A host that keeps what scripts print and the errors they report.
class TraceHost : public ScriptHost {
public:
    void traceLine(std::string_view line) override { lines.emplace_back(line); }
    void scriptError(std::string_view message) override { errors.emplace_back(message); }
    std::vector<std::string> lines;
    std::vector<std::string> errors;
};

// One interpreter with a plain object as its timeline. Blocks run one after another on it,
// so a later block sees what an earlier one defined.
class ScriptProbe {
public:
    explicit ScriptProbe(int version, ScriptLimits limits = {})
        : m_version(version), m_vm(m_host, version, limits), m_timeline(m_vm.makeObject()) {}

    // Runs the block (as code of version, or the movie's) and answers with the lines it
    // traced, joined by '|'.
    std::string run(const testkit::ActionAssembler& actions, int version = 0) {
        auto bytes = std::make_shared<const std::vector<uint8_t>>(actions.build());
        const std::size_t before = m_host.lines.size();
        m_vm.runScript({*bytes, version ? version : m_version, bytes}, m_timeline);
        std::string out;
        for (std::size_t i = before; i < m_host.lines.size(); ++i)
            out += (i > before ? "|" : "") + m_host.lines[i];
        return out;
    }

    // Frees what the timeline no longer reaches, as the movie does between frames.
    void collect() {
        m_vm.collectGarbage([this](Tracer& tracer) { tracer.mark(m_timeline); });
    }

    const std::vector<std::string>& errors() const { return m_host.errors; }
    Interpreter& vm() { return m_vm; }
    Object* timeline() { return m_timeline; }

private:
    int m_version;
    TraceHost m_host;
    Interpreter m_vm;
    Object* m_timeline;
};

} // namespace swivio::swf::avm1
