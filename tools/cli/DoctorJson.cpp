#include "DoctorJson.h"

#include "RecordJson.h"
#include "doctor/FrameAnnotation.h"
#include "protocol/TextCodec.h"

namespace kestrane::cli {

namespace {

using Json = nlohmann::ordered_json;

// Empty texts (no USB device, no driver) as null.
Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json UsbJson(const UsbIdentity& usb) {
    if (usb.vendorId.empty()) return nullptr;
    return {{"vendorId", usb.vendorId},
            {"productId", usb.productId},
            {"manufacturer", TextOrNull(usb.manufacturer)},
            {"product", TextOrNull(usb.product)},
            {"serial", TextOrNull(usb.serial)}};
}

Json ClassificationJson(const LinkClassification& c) {
    return {{"finding", LinkFindingName(c.finding)},
            {"text", c.Text()},
            {"requests", c.requests},
            {"replies", c.replies},
            {"crcErrors", c.crcErrors},
            {"exceptions", c.exceptions},
            {"exceptionCode", c.exceptionCode},
            {"echoes", c.echoes},
            {"garbageBytes", c.garbageBytes},
            {"otherAddresses", c.otherAddresses}};
}

Json SearchJson(const SearchResult& s) {
    Json exceptions = Json::array();
    for (const auto& [baud, address] : s.exceptions)
        exceptions.push_back({{"baud", baud}, {"address", address}});
    return {{"found", s.found},
            {"baud", s.found ? Json(s.baud) : Json(nullptr)},
            {"address", s.found ? Json(s.address) : Json(nullptr)},
            {"probes", s.probes},
            {"seconds", s.seconds},
            {"budgetSpent", s.budgetSpent},
            {"lineClosed", s.lineClosed},
            {"exceptionReplies", exceptions}};
}

Json TraceJson(const std::vector<TraceEvent>& events) {
    Json trace = Json::array();
    const TraceEvent* request = nullptr;
    for (const TraceEvent& event : events) {
        if (event.sent) request = &event;
        for (const AnnotatedFrame& frame : AnnotateEvent(event, event.sent ? nullptr : request))
            trace.push_back({{"ms", frame.atMs},
                             {"direction", frame.sent ? "sent" : "received"},
                             {"hex", frame.hex},
                             {"note", frame.note}});
    }
    return trace;
}

}  // namespace

Json PortJson(const PortInfo& port) {
    Json holders = Json::array();
    for (const PortHolder& h : port.holders.holders)
        holders.push_back({{"pid", h.pid}, {"name", h.name}, {"how", h.how}, {"farEnd", h.farEnd}});
    const PortAccess& a = port.access;
    return {{"device", port.devicePath},
            {"realPath", port.realPath},
            {"exists", port.exists},
            {"byId", port.byId},
            {"usb", UsbJson(port.usb)},
            {"driver", TextOrNull(port.driver)},
            {"access",
             {{"mayOpen", a.mayOpen},
              {"owner", a.owner},
              {"group", a.group},
              {"groupMember", a.groupMember},
              {"addedSinceLogin", a.addedSinceLogin},
              {"fix", TextOrNull(a.fix)}}},
            {"busy", port.holders.Busy()},
            {"holders", holders},
            {"staleLocks", port.holders.staleLocks}};
}

Json DoctorJson(const DoctorReport& report, bool withTrace) {
    Json steps = Json::array();
    for (const DoctorStep& step : report.steps)
        steps.push_back({{"check", DoctorCheckName(step.check)},
                         {"ok", step.ok},
                         {"detail", step.detail},
                         {"hint", TextOrNull(step.hint)}});
    Json out = {{"port", report.devicePath},
                {"baud", report.baud},
                {"address", report.address},
                {"portInfo", PortJson(report.port)},
                {"existingPorts", report.existingPorts},
                {"steps", steps}};
    out["answer"] = nullptr;
    if (report.answer) {
        const AnswerFacts& a = *report.answer;
        out["answer"] = {{"latencyMs", a.latencyMs},
                         {"replyMs", a.replyMs},
                         {"model", TextAsUtf8(a.model)},
                         {"serialNumber", TextAsUtf8(a.serialNumber)},
                         {"firmware", TextAsUtf8(a.firmware)}};
    }
    out["classification"] =
        report.classification ? ClassificationJson(*report.classification) : Json(nullptr);
    out["search"] = report.search ? SearchJson(*report.search) : Json(nullptr);
    out["quality"] = nullptr;
    if (report.quality) {
        const QualityFacts& q = *report.quality;
        out["quality"] = {{"cycles", q.cycles},
                          {"complete", q.complete},
                          {"successRate", q.cycles > 0 ? double(q.complete) / q.cycles : 0.0},
                          {"link", LinkJson(q.counters)},
                          {"strayBytes", q.strayBytes}};
    }
    out["working"] = nullptr;
    if (report.workingBaud != 0)
        out["working"] = {{"baud", report.workingBaud},
                          {"address", report.workingAddress},
                          {"command", report.command}};
    out["exitStatus"] = report.exitStatus;
    if (withTrace) out["trace"] = TraceJson(report.trace);
    return out;
}

}  // namespace kestrane::cli
