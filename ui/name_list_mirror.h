// The items of a list box as the core reads them: a byte copy kept current on
// every change of the list, so that a run lays out each line by the list as
// it stands, without touching a widget per line.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

class QListWidget;

namespace korvel {

class NameListMirror : public QObject {
  public:
    // `generation` is bumped on every change; several mirrors may share one.
    NameListMirror(QListWidget* list, std::uint64_t* generation);

    const std::vector<std::string>& Items() const { return items_; }

  private:
    void Rebuild();

    QListWidget* list_;
    std::uint64_t* generation_;
    std::vector<std::string> items_;
};

}  // namespace korvel
