#pragma once
// Events: user rules "when a reading passes a check on so many consecutive
// ticks, act, at most so often". Kept in "caldavorevents.cfg", turned into
// conditions of the condition language, compiled once after loading and
// evaluated on every one-second tick. Actions: start a program, a tray
// balloon, a tone, or a mail with a summary of all readings.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/cvdatetime.h"
#include "core/cvparser.h"
#include "core/cvreadingslots.h"
#include "core/cvsensorsfile.h"

class TMonitor;
class TMailQueue;

enum class TEventSource : std::uint8_t { Temp = 0, Fan = 1, Volt = 2, Smart = 3 };
enum class TEventAction : std::uint8_t { Execute = 0, PopupMsg = 1, Beep = 2, SendMail = 3 };

// Marks a rule that failed to load.
inline constexpr std::int32_t InvalidEventOrigin = static_cast<std::int32_t>(0x80000001u);

// S.M.A.R.T. reading indices beyond the attribute ids.
inline constexpr std::int32_t SmartFitnessIndex = 513;
inline constexpr std::int32_t SmartPerformanceIndex = 514;

struct TEventDef {
    // Index into the sensor list; -N is the special source N.
    std::int32_t Origin = InvalidEventOrigin;
    TEventSource SourceType = TEventSource::Temp;
    // 1-based; for S.M.A.R.T. an attribute id, or fitness / performance.
    std::int32_t ReadingIdx = 1;
    std::string CheckType;   // an operator of the condition language
    std::string CheckValue;
    TEventAction Action = TEventAction::Execute;
    // Execute: the file and its parameters; popup: the message;
    // mail: the subject and the profile's name.
    std::string ActionPar1;
    std::string ActionPar2;
    std::int32_t AllowEvery = 0;   // seconds between two actions
    std::int32_t VerifiedFor = 0;  // consecutive true checks before acting

    bool operator==(const TEventDef&) const = default;
};

enum class TEventCompileState : std::uint8_t { Compiled = 0, ParseError = 1, EvalError = 2 };

struct TCVEventDef {
    TEventDef Def;
    std::string Condition;
    TCVExprItems Items;
    TEventCompileState CompileState = TEventCompileState::Compiled;
    // Run-time figures, zero when loaded and never saved.
    TDateTime EvalTime = 0;  // accumulated, in days
    std::int64_t EvalCount = 0;
    TDateTime LastAction = 0;  // 0: the first action is never held back
    std::int32_t TrueCount = 0;
};

// sensor[<Origin>].<temp|fan|volt|smart>[<ReadingIdx>].value<CheckType><CheckValue>
std::string EventToCondition(const TEventDef& def);
// The "key=value" lines of one rule, in file order.
std::vector<std::string> WriteEventDef(const TSensorList& sensors, const TEventDef& def);
// Origin is InvalidEventOrigin when the lines do not make a valid rule.
TEventDef ReadEventDef(const TSensorList& sensors, const std::vector<std::string>& lines);

class TEvents : public TEventsFile {
public:
    explicit TEvents(TMonitor& monitor) : monitor_(monitor) {}
    TEvents(const TEvents&) = delete;
    TEvents& operator=(const TEvents&) = delete;

    std::vector<TCVEventDef> Events;
    // The mail sender; mails are not sent while there is none.
    TMailQueue* Mail = nullptr;

    // False, after an error box, when the file cannot be written; the old
    // file is then untouched.
    bool SaveEvents(const std::string& fileName) override;
    // A file that does not open leaves the events as they are.
    void LOADEVENTS(const std::string& fileName) override;
    void CompileSimpleEvents();
    // The one-second tick: evaluates every event and runs the actions due.
    void ProcessEvents();
    // For a loop that runs the core without the window's one-second timer:
    // runs ProcessEvents when a second of the platform clock has passed
    // since the last run (the first call runs at once).
    void Tick();
    bool EvaluateEvent(int index);
    // The resolver of the paths sensor[i].<kind>[j].<field>.
    bool ResolveEventVariable(const TCVIdParams& params, TCVStack& stack);
    // Lines separated by CR.
    std::string CreateMailBody();
    void SendEventMail(const std::string& subject, const std::string& profileName);
    // The exit trace: the mean evaluation time of every evaluated event.
    void TraceEvaluationTimes();

private:
    struct TOutcome;
    TOutcome evaluate(const TCVEventDef& event);
    void runAction(const TEventDef& def);
    void execute(const TEventDef& def);
    void traceAndShow(const std::string& msg);

    TMonitor& monitor_;
    std::optional<std::uint64_t> lastTickMs_;
};
