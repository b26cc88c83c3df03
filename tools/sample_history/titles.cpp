#include "sample_history/titles.h"

namespace quillmark::sample {

namespace {

std::string shortName(const SampleHistory::Truth::Participant& participant) {
    if (!participant.name) return formattedAddress(participant.address);
    const std::string& name = *participant.name;
    const size_t space = name.find(' ');
    return space == std::string::npos ? name : name.substr(0, space);
}

}  // namespace

std::string formattedAddress(const std::string& address) {
    if (address.size() != 12 || address.rfind("+1", 0) != 0) return address;
    for (size_t i = 1; i < address.size(); ++i)
        if (address[i] < '0' || address[i] > '9') return address;
    return "+1 (" + address.substr(2, 3) + ") " + address.substr(5, 3) + "-" + address.substr(8);
}

std::string conversationTitle(const std::optional<std::string>& groupName,
                              const std::vector<SampleHistory::Truth::Participant>& participants) {
    if (groupName && !groupName->empty()) return *groupName;
    if (participants.empty()) return "Unknown";
    if (participants.size() == 1) {
        const auto& only = participants.front();
        return only.name ? *only.name : formattedAddress(only.address);
    }
    if (participants.size() == 2) return shortName(participants[0]) + " and " + shortName(participants[1]);
    if (participants.size() == 3)
        return shortName(participants[0]) + ", " + shortName(participants[1]) + ", and " + shortName(participants[2]);
    return shortName(participants[0]) + ", " + shortName(participants[1]) + " and " +
           std::to_string(participants.size() - 2) + " others";
}

}  // namespace quillmark::sample
