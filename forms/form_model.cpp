// The form model held for the whole run: blocks, their fields and the
// browse lists, as the form file loader fills them.
#include "forms/form_model.h"

#include <deque>
#include <string>
#include <vector>

#include "forms/form_model_internal.h"

namespace forms {

int BlockCount = 0;
int MaxFields = 0;
int ListCount = 0;

namespace {

// Blocks 1..BlockCount at index 0..; a block's fields grow on demand up to
// MaxFields (a deque keeps references to earlier fields valid).
std::vector<Block> g_blocks;
std::vector<std::deque<Field>> g_fields;
std::vector<BrowseList> g_lists;

Block g_scratchBlock;
Field g_scratchField;
BrowseList g_scratchList;

}  // namespace

Block& BlockAt(int block) {
  if (block >= 1 && block <= static_cast<int>(g_blocks.size())) return g_blocks[static_cast<std::size_t>(block - 1)];
  g_scratchBlock = Block();
  return g_scratchBlock;
}

Field& FieldAt(int block, int field) {
  if (block >= 1 && block <= static_cast<int>(g_fields.size()) && field >= 1 && field <= MaxFields) {
    std::deque<Field>& fields = g_fields[static_cast<std::size_t>(block - 1)];
    while (static_cast<int>(fields.size()) < field) fields.emplace_back();
    return fields[static_cast<std::size_t>(field - 1)];
  }
  g_scratchField = Field();
  return g_scratchField;
}

BrowseList& ListAt(int list) {
  if (list >= 1 && list <= static_cast<int>(g_lists.size())) return g_lists[static_cast<std::size_t>(list - 1)];
  g_scratchList = BrowseList();
  return g_scratchList;
}

void SetValue(int block, int field, const std::string& text) {
  Field& f = FieldAt(block, field);
  std::string value = text.substr(0, static_cast<std::size_t>(f.Width > 0 ? f.Width : 0));
  value.resize(static_cast<std::size_t>(f.Width > 0 ? f.Width : 0), ' ');
  f.Value = value;
}

void ResetFormForTests() {
  BlockCount = MaxFields = ListCount = 0;
  g_blocks.clear();
  g_fields.clear();
  g_lists.clear();
}

namespace detail {

void InstallModel(int maxFields, std::vector<Block>&& blocks, std::vector<std::deque<Field>>&& fields,
                  std::vector<BrowseList>&& lists) {
  MaxFields = maxFields;
  BlockCount = static_cast<int>(blocks.size());
  ListCount = static_cast<int>(lists.size());
  g_blocks = std::move(blocks);
  g_fields = std::move(fields);
  g_lists = std::move(lists);
}

}  // namespace detail

}  // namespace forms
