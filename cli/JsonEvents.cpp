#include "cli/JsonEvents.h"

#include <nlohmann/json.hpp>

#include <windows.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

// The sender's thread reports progress while the run's thread may report an event of its own.
std::mutex g_writing;
std::unique_ptr<JsonEvents> g_active;

constexpr std::uint64_t PROGRESS_EVERY_MS = 250;
constexpr std::uint32_t PROGRESS_STEPS = 100; // one event per 1% at most, time aside

nlohmann::ordered_json Text(const std::string& ansi) {
    return JsonEvents::Utf8(ansi);
}

} // namespace

struct JsonEvents::Line {
    nlohmann::ordered_json value;
};

void JsonEvents::Enable() {
    if (!g_active)
        g_active.reset(new JsonEvents());
}

JsonEvents* JsonEvents::Active() {
    return g_active.get();
}

std::string JsonEvents::Utf8(const std::string& ansi) {
    if (ansi.empty())
        return ansi;
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (wide <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &text[0], wide);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

void JsonEvents::Write(Line& line, bool ofRun) {
    // "event" first, then "run", then the event's own fields: a person reading the lines finds them there.
    nlohmann::ordered_json ordered;
    ordered["event"] = line.value["event"];
    ordered["run"] = !ofRun || m_runId.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(m_runId);
    for (auto it = line.value.begin(); it != line.value.end(); ++it)
        if (it.key() != "event" && it.key() != "run")
            ordered[it.key()] = it.value();
    // Every text was made UTF-8 on its way in; should a byte slip through, it is replaced, not a cut line.
    const std::string text =
        ordered.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    const std::lock_guard<std::mutex> hold(g_writing);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void JsonEvents::RunStart(const std::string& runId, const std::string& program, const std::string& version,
                          const std::string& linkLibrary, const std::string& imageFolder,
                          bool lockAbandoned) {
    m_runId = runId;
    Line line{{{"event", "run-start"},
               {"program", Text(program)},
               {"version", version},
               {"link", linkLibrary.empty() ? nlohmann::ordered_json() : Text(linkLibrary)},
               {"folder", Text(imageFolder)},
               {"lockAbandoned", lockAbandoned}}};
    Write(line);
}

void JsonEvents::Image(const StageImageFacts& facts, const char* file, const std::string& text) {
    m_progressStage = facts.stage;
    m_progressSent = 0;
    m_progressMs = ::GetTickCount64();
    const bool known = !facts.fingerprint.sha256.empty();
    Line line{
        {{"event", "image"},
         {"stage", facts.stage + 1},
         {"file", file},
         {"verdict", StageImageWord(facts.image)},
         {"size", known ? nlohmann::ordered_json(facts.fingerprint.size) : nlohmann::ordered_json()},
         {"sha256", known ? nlohmann::ordered_json(facts.fingerprint.sha256) : nlohmann::ordered_json()},
         {"verified", facts.verified}}};
    if (!text.empty())
        line.value["text"] = Text(text);
    Write(line);
}

void JsonEvents::Progress(int stage, std::uint32_t sent, std::uint32_t payload) {
    const std::uint64_t now = ::GetTickCount64();
    const std::uint32_t step = payload / PROGRESS_STEPS;
    const bool last = sent == payload;
    if (stage == m_progressStage && (sent == m_progressSent || (!last && sent - m_progressSent < step &&
                                                                now - m_progressMs < PROGRESS_EVERY_MS)))
        return;
    m_progressStage = stage;
    m_progressSent = sent;
    m_progressMs = now;
    Line line{{{"event", "progress"}, {"stage", stage + 1}, {"sent", sent}, {"payload", payload}}};
    Write(line);
}

void JsonEvents::StageEnd(int stage, const char* file, StageOutcome outcome, std::uint32_t bytesTaken) {
    Line line{{{"event", "stage-end"},
               {"stage", stage + 1},
               {"file", file},
               {"outcome", StageOutcomeWord(outcome)},
               {"taken", bytesTaken}}};
    Write(line);
}

void JsonEvents::RunEnd(RunOutcome outcome, int exitCode, std::uint64_t durationMs,
                        const std::string& stoppedBy, const std::vector<std::string>& sentWhole,
                        const std::vector<std::string>& notSent, const char* refused) {
    Line line{{{"event", "run-end"},
               {"outcome", RunOutcomeWord(outcome)},
               {"exitCode", exitCode},
               {"durationMs", durationMs}}};
    if (refused)
        line.value["refused"] = refused;
    if (!stoppedBy.empty()) {
        line.value["stoppedBy"] = stoppedBy;
        line.value["sentWhole"] = sentWhole;
        line.value["notSent"] = notSent;
    }
    Write(line);
}

void JsonEvents::Waiting(unsigned number, const char* what) {
    Line line{{{"event", "waiting"}, {"for", what}}};
    if (number > 0)
        line.value["number"] = number;
    Write(line, false);
}

void JsonEvents::Device(unsigned number, const std::string& runId, RunOutcome outcome, bool updated,
                        const std::string& said) {
    // The device's own run: its id is what finds its history lines.
    m_runId = runId;
    Line line{{{"event", "device"},
               {"number", number},
               {"outcome", RunOutcomeWord(outcome)},
               {"updated", updated},
               {"message", Text(said)}}};
    Write(line);
}

void JsonEvents::Summary(unsigned devices, unsigned updated, bool stopped, int exitCode) {
    Line line{{{"event", "summary"},
               {"devices", devices},
               {"updated", updated},
               {"notUpdated", devices - updated},
               {"stopped", stopped},
               {"exitCode", exitCode}}};
    Write(line, false);
}

void JsonEvents::Error(const std::string& message, int exitCode) {
    Line line{{{"event", "error"}, {"message", Text(message)}, {"exitCode", exitCode}}};
    Write(line);
}
