#pragma once

#include "geodesy/geodesy.h"

namespace velk {

// The East-North-Up frame at a point, built as TRLOC builds it (the latitude and
// longitude of CENTRGEO), for turning many vectors and covariances at one station.
class LocalFrame {
 public:
  explicit LocalFrame(const Cartesian& origin);
  // A vector's components east, north and up, summed in TRLOC's order.
  LocalENU components(const Cartesian& vector) const;
  // The rotation from geocentric to local axes, as TRCOVI applies it.
  const Matrix3& rotation() const { return rotation_; }

 private:
  Matrix3 rotation_;
};

}  // namespace velk
