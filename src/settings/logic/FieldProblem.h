// A check of the parameter SAVE that failed: the control it is about and the
// text the message box shows for it, in the language of the moment.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

struct FieldProblem {
    int controlId;
    std::string message;
};

using FieldProblems = std::vector<FieldProblem>;

}  // namespace kestrane
