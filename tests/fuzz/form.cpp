// The form file loader over a FORMS/*.JPN file (the input).
// Expectations: a refused file gives a message naming the file and the line
// and leaves the model as it was; an accepted one gives a model within its
// own limits (blocks and lists at least one, fields per block at most
// MaxFields, windows and lists inside the screen, references to blocks and
// lists that exist, values as wide as their fields), and loading the same
// bytes again gives the same model.
#include <cstdint>
#include <string>

#include "forms/form_model.h"
#include "platform/os/os.h"
#include "screen/windows.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void Add(std::string& out, int v) { out += std::to_string(v) + ","; }
void Add(std::string& out, const std::string& s) { out += std::to_string(s.size()) + ":" + s + ","; }

// The whole model as text, to compare.
std::string Model() {
  std::string m;
  Add(m, forms::BlockCount);
  Add(m, forms::MaxFields);
  Add(m, forms::ListCount);
  for (int b = 1; b <= forms::BlockCount; ++b) {
    const forms::Block& block = forms::BlockAt(b);
    Add(m, block.KeyList);
    Add(m, block.FieldCount);
    Add(m, block.LinkedBlock);
    for (int edge : block.Box) Add(m, edge);
    for (int f = 1; f <= block.FieldCount; ++f) {
      const forms::Field& x = forms::FieldAt(b, f);
      for (int v : {x.Row, x.Column, x.Width, x.Length, x.ClearWidth, x.Flags, x.Rule, x.BrowseList}) Add(m, v);
      Add(m, x.Label);
      Add(m, x.Mask);
      Add(m, x.Value);
    }
  }
  for (int l = 1; l <= forms::ListCount; ++l) {
    const forms::BrowseList& x = forms::ListAt(l);
    for (int v : {x.FileNumber, x.KeyNumber, x.Top, x.Left, x.Bottom, x.Right, x.SearchBlock, x.NextList}) Add(m, v);
    Add(m, x.Title);
  }
  return m;
}

bool Inside(int top, int left, int bottom, int right, int minInside) {
  return top >= 1 && left >= 1 && bottom <= screen::ScreenRows() && right <= screen::ScreenColumns() &&
         bottom - top - 1 >= minInside && right - left - 1 >= minInside;
}

void CheckLimits() {
  using forms::BlockCount;
  using forms::ListCount;
  fuzz::Check(BlockCount >= 1 && ListCount >= 1 && forms::MaxFields >= 0, "a model without blocks or lists");
  for (int b = 1; b <= BlockCount; ++b) {
    const forms::Block& block = forms::BlockAt(b);
    fuzz::Check(block.FieldCount >= 0 && block.FieldCount <= forms::MaxFields, "a block with more fields than allowed");
    fuzz::Check(block.LinkedBlock <= BlockCount, "a follow-on block that does not exist");
    fuzz::Check(block.Box[0] == 0 || Inside(block.Box[0], block.Box[1], block.Box[2], block.Box[3], 0),
                "a block window outside the screen");
    for (int f = 1; f <= block.FieldCount; ++f) {
      const forms::Field& x = forms::FieldAt(b, f);
      fuzz::Check(x.Width >= 0 && x.Length >= 0 && x.ClearWidth >= 0, "a negative width");
      fuzz::Check(x.Value.size() == static_cast<std::size_t>(x.Width), "a value not as wide as its field");
      fuzz::Check(x.BrowseList >= 0 && x.BrowseList <= ListCount, "a field naming a list that does not exist");
    }
  }
  for (int l = 1; l <= ListCount; ++l) {
    const forms::BrowseList& x = forms::ListAt(l);
    fuzz::Check(Inside(x.Top, x.Left, x.Bottom, x.Right, 1), "a list window outside the screen");
    fuzz::Check(x.SearchBlock >= 0 && x.SearchBlock <= BlockCount, "a search block that does not exist");
    fuzz::Check(x.NextList >= 0 && x.NextList <= ListCount, "a next list that does not exist");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Check(os::MakeDirs(fuzz::WorkDir() + "FORMS"), "cannot make the form folder");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 16 * 1024) return 0;
  fuzz::ResetScreenWorld();
  const std::string path = fuzz::WorkDir() + "FORMS/T.JPN";
  fuzz::PutFile(path, fuzz::Text(data, size));

  const std::string before = Model();
  if (!forms::LoadForm(path)) {
    const std::string& error = forms::LoadFormError();
    const std::size_t named = error.find("T.JPN");
    fuzz::Check(named != std::string::npos && error.find_first_of("0123456789", named) != std::string::npos,
                "the refusal does not name the file and the line");
    fuzz::Check(Model() == before, "a refused file changed the model");
    return 0;
  }
  fuzz::Check(forms::LoadFormError().empty(), "an accepted file left a message");
  CheckLimits();
  const std::string model = Model();
  forms::ResetFormForTests();
  fuzz::Check(forms::LoadForm(path), "the same file refused the second time");
  fuzz::Check(Model() == model, "the same file loaded as another model");
  return 0;
}
