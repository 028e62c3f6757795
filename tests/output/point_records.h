// Points as the writers' tests hand them to a sink: the texts of a data line.
#pragma once

#include <string>

#include "engine/point_output.h"

namespace korvel::test {

struct Point {
    std::string number, code;
    bool hasNumber = true, hasCode = true;
    std::string x, y, z;
};

inline void Write(RecordSink& sink, const Point& p) {
    PointRecord r;
    r.number = p.number;
    r.code = p.code;
    r.hasNumber = p.hasNumber;
    r.hasCode = p.hasCode;
    r.x = p.x;
    r.y = p.y;
    r.z = p.z;
    sink.Record(r);
}

}  // namespace korvel::test
