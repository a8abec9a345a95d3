// The real main window on Qt's offscreen platform with the port choice
// cancelled: nothing is opened, and the cancelled choice's report is set
// apart from the ones a test causes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/window/form1.h"
#include "serial/ui/port_test_support.h"

namespace morvel::test {

class FormWithoutPort : public testing::Test {
 protected:
  FormWithoutPort() {
    HideMachinePorts(folder_);
    DialogAnswer answer("", DialogAnswer::kCancelButton);
    form_ = std::make_unique<TForm1>();
    cancelReports_ = reports_.Reports().size();
  }

  // The reports after the cancelled choice's.
  std::vector<std::pair<std::string, std::string>> Reports() const {
    return {reports_.Reports().begin() + static_cast<std::ptrdiff_t>(cancelReports_),
            reports_.Reports().end()};
  }

  ReportRecorder reports_;
  PortFolder folder_;
  std::unique_ptr<TForm1> form_;
  size_t cancelReports_ = 0;
};

}  // namespace morvel::test
