// What a file pass needs from whoever runs it: the window, the CLI or a test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

class PassHost {
  public:
    virtual ~PassHost() = default;

    // Progress display: the caption once per pass, the position (0..100)
    // whenever it changes.
    virtual void SetProgressCaption(std::string_view caption) = 0;
    virtual void SetProgressPosition(int position) = 0;

    // Lets pending events run; called once per main-loop line, so it must be cheap.
    virtual void PumpEvents() = 0;

    // The ordered lists the composer lays each line out by: the exported data
    // field names and the Code sequence, top to bottom. They may change while
    // a pass runs; ListsGeneration() must then change too, which tells the
    // composer to read them again before the next line.
    virtual const std::vector<std::string>& ExportedDataFields() const = 0;
    virtual const std::vector<std::string>& CodeSequence() const = 0;
    virtual std::uint64_t ListsGeneration() const = 0;
};

// A host with fixed lists and no display, for the CLI and tests to build on.
class FixedListsHost : public PassHost {
  public:
    FixedListsHost() = default;
    FixedListsHost(std::vector<std::string> fields, std::vector<std::string> code)
        : fields_(std::move(fields)), code_(std::move(code)) {}

    void SetProgressCaption(std::string_view) override {}
    void SetProgressPosition(int) override {}
    void PumpEvents() override {}
    const std::vector<std::string>& ExportedDataFields() const override { return fields_; }
    const std::vector<std::string>& CodeSequence() const override { return code_; }
    std::uint64_t ListsGeneration() const override { return generation_; }

    void SetLists(std::vector<std::string> fields, std::vector<std::string> code) {
        fields_ = std::move(fields);
        code_ = std::move(code);
        ++generation_;
    }

  private:
    std::vector<std::string> fields_;
    std::vector<std::string> code_;
    std::uint64_t generation_ = 0;
};

}  // namespace korvel
