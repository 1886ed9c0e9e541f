#pragma once

#include "core/actionfailure.h"
#include "protocol/commandexchange.h"

#include <optional>

namespace tovel {

// An answer that did not come whole, or does not read as its kind, as the failure of its
// action: nothing for a good answer. A lost link has been said by the USB layer; quitting and
// a refused collection need no word.
inline std::optional<ActionFailure> answerFailure(const AnswerRule &rule, const CommandExchange::Answer &answer)
{
    using O = CommandExchange::Outcome;
    switch (answer.outcome) {
    case O::LinkFailed:
        return ActionFailure{ActionFailure::Kind::NoPedal, rule.what, answer.bytes, QString()};
    case O::Quitting:
    case O::Refused:
        return ActionFailure{ActionFailure::Kind::Refused, rule.what, answer.bytes, QString()};
    default:
        break;
    }
    const QString message = CommandExchange::failureMessage(rule, answer);
    if (message.isEmpty() && answer.complete())
        return std::nullopt;
    return ActionFailure{ActionFailure::Kind::PedalAnswer, rule.what, answer.bytes, message};
}

} // namespace tovel
