#include "platform/sim/boardcpus.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

CpuidRegisters asRegisters(const BoardNode& node) {
    node.expectFields({"eax", "ebx", "ecx", "edx"});
    const auto reg = [&node](std::string_view name) -> std::uint32_t {
        const auto value = node.optionalField(name);
        return value ? value->asHex(0xFFFFFFFF, "0x000006FB") : 0;
    };
    return {reg("eax"), reg("ebx"), reg("ecx"), reg("edx")};
}

// "0x4" is subleaf 0 of leaf 4, "0x4/1" its subleaf 1.
std::pair<std::uint32_t, std::uint32_t> asLeafKey(const std::string& name, const BoardNode& at) {
    const auto slash = name.find('/');
    const auto leaf = parseHex(name.substr(0, slash));
    std::optional<std::uint32_t> subleaf = 0;
    if (slash != std::string::npos) {
        const std::string sub = name.substr(slash + 1);
        subleaf = sub.empty() || sub.size() > 3 || sub.find_first_not_of("0123456789") != std::string::npos
                      ? std::nullopt
                      : std::optional<std::uint32_t>(std::stoul(sub));
    }
    if (!leaf || !subleaf) at.fail("expected a leaf like \"0x4\" or \"0x4/1\" as the name");
    return {*leaf, *subleaf};
}

void loadCpuidAnswers(const BoardNode& node, CpuidAnswers& answers) {
    for (const auto& [name, value] : node.members()) {
        auto& results = answers[asLeafKey(name, value)];
        results.clear();
        if (value.isObject()) {
            results.push_back(asRegisters(value));
        } else {
            for (const BoardNode& item : value.items()) results.push_back(asRegisters(item));
            if (results.empty()) value.failExpected("registers or a list of them");
        }
    }
}

std::uint64_t asTscHz(const BoardNode& node) {
    return static_cast<std::uint64_t>(node.asInteger(1, 100000)) * 1000000;
}

SimCpuModel loadModel(const BoardNode& node) {
    node.expectFields({"cpuid", "msrs", "tscMHz"});
    SimCpuModel model;
    if (auto cpuid = node.optionalField("cpuid")) loadCpuidAnswers(*cpuid, model.cpuid);
    if (auto msrs = node.optionalField("msrs")) {
        for (const auto& [index, value] : msrs->members()) {
            const auto number = parseHex(index);
            const auto content = value.isString() ? parseHex64(value.asString()) : std::nullopt;
            if (!number) value.fail("expected an MSR number like \"0x1B\" as the name");
            if (!content) value.failExpected("a hex string of up to 16 digits like \"0xFEE00900\"");
            model.msrs[*number] = *content;
        }
    }
    if (auto tsc = node.optionalField("tscMHz")) model.tscHz = asTscHz(*tsc);
    return model;
}

// "cpu-intel-core2.json:core2": a model of another board file, found beside
// this one, so boards share a processor without copying it.
SimCpuModel loadModelFromFile(const BoardNode& at, const std::string& reference) {
    const auto colon = reference.rfind(':');
    const std::string path =
        (std::filesystem::path(at.source()).parent_path() / reference.substr(0, colon)).string();
    std::ifstream in(path, std::ios::binary);
    if (!in) at.fail("cannot open the board file " + path);
    nlohmann::json other;
    try {
        other = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception&) {
        at.fail(path + " is not valid JSON");
    }
    const BoardNode root(&other, path, "");
    const auto models = root.optionalField("cpuModels");
    const auto model = models ? models->optionalField(reference.substr(colon + 1)) : std::nullopt;
    if (!model) at.failExpected("a model named in the \"cpuModels\" of " + path);
    return loadModel(*model);
}

}  // namespace

void loadCpuModelsSection(const BoardNode& section, Machine& machine) {
    for (const auto& [name, node] : section.members()) machine.cpus().models()[name] = loadModel(node);
}

void loadCpuEntry(const BoardNode& entry, Machine& machine, SimCpu& cpu) {
    if (auto model = entry.optionalField("model")) {
        const std::string name = model->asNonEmptyString();
        auto& models = machine.cpus().models();
        if (name.find(':') != std::string::npos && !models.contains(name)) models[name] = loadModelFromFile(*model, name);
        const auto found = models.find(name);
        if (found == models.end()) model->failExpected("a processor named in \"cpuModels\"");
        std::uint32_t apicId = 0;
        if (auto id = entry.optionalField("apicId")) apicId = static_cast<std::uint32_t>(id->asInteger(0, 255));
        cpu.applyModel(found->second, apicId);
    } else if (auto id = entry.optionalField("apicId")) {
        id->fail("an APIC id needs a \"model\" to write it into");
    }
    if (auto cpuid = entry.optionalField("cpuid")) loadCpuidAnswers(*cpuid, cpu.cpuid);
    if (auto pinnable = entry.optionalField("pinnable")) cpu.pinnable = pinnable->asBool();
    if (auto tsc = entry.optionalField("tscMHz")) cpu.tscHz = asTscHz(*tsc);
}

void loadCpuLoadSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"note", "phases", "repeatMs"});
    std::vector<SimProcessorLoad::Phase> phases;
    for (const BoardNode& item : section.field("phases").items()) {
        item.expectFields({"fromMs", "idle"});
        SimProcessorLoad::Phase phase;
        phase.fromMs = static_cast<std::uint64_t>(item.field("fromMs").asInteger(0, std::int64_t{1} << 50));
        for (const BoardNode& idle : item.field("idle").items()) phase.idle.push_back(idle.asNumber(0, 1));
        if (phase.idle.empty()) item.field("idle").failExpected("a list of at least one idle fraction");
        if (!phases.empty() && phase.fromMs < phases.back().fromMs) item.fail("phases must be in time order");
        phases.push_back(std::move(phase));
    }
    std::uint64_t repeatMs = 0;
    if (auto repeat = section.optionalField("repeatMs")) {
        repeatMs = static_cast<std::uint64_t>(repeat->asInteger(1, std::int64_t{1} << 50));
        if (phases.empty() || repeatMs <= phases.back().fromMs) repeat->failExpected("a period past the last phase's start");
    }
    machine.processorLoad().setPhases(std::move(phases), repeatMs);
}

}  // namespace platform::sim
