// Shared between the form model and its loader only.
#pragma once

#include <deque>
#include <vector>

#include "forms/form_model.h"

namespace forms::detail {

// Replaces the model by a freshly loaded one.
void InstallModel(int maxFields, std::vector<Block>&& blocks, std::vector<std::deque<Field>>&& fields,
                  std::vector<BrowseList>&& lists);

}  // namespace forms::detail
