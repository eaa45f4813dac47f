// What the window's handlers rely on of a list box, checked the same way on the test
// double and on the Qt control, so that the two cannot drift apart.
#pragma once

#include <functional>
#include <string>

#include "platform/services.h"

namespace quarvel::testing {

// Runs the contract on an empty `list` whose click handler adds one to `clicks`;
// `check(condition, what)` reports each rule.
inline void CheckListBoxContract(ListBox& list, const int& clicks,
                                 const std::function<void(bool, const char*)>& check) {
  for (const char* item : {"a", "b", "c"}) list.Append(item);
  check(list.Count() == 3 && list.ItemAt(1) == "b", "appended items are there, in order");
  check(list.SelectedIndex() == ListBox::kNoSelection && clicks == 0, "appending selects and runs nothing");
  list.SetSelectedIndex(1);
  check(list.SelectedIndex() == 1 && clicks == 1, "a selection from code runs the click handler once");
  list.SetSelectedIndex(1);
  check(clicks == 2, "selecting the selected item from code runs it again");
  list.SetSelectedIndex(ListBox::kNoSelection);
  check(list.SelectedIndex() == ListBox::kNoSelection && clicks == 2, "selecting nothing runs nothing");
  list.SetSelectedIndex(2);
  list.RemoveAt(0);
  check(list.Count() == 2 && list.ItemAt(0) == "b", "removing moves the later items up");
  check(list.SelectedIndex() == ListBox::kNoSelection && clicks == 3, "removing leaves no selection, runs nothing");
  list.SetSelectedIndex(0);
  list.Clear();
  check(list.Count() == 0 && list.SelectedIndex() == ListBox::kNoSelection && clicks == 4,
        "clearing leaves nothing selected and runs nothing");
}

}  // namespace quarvel::testing
