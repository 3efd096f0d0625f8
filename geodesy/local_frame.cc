#include "geodesy/local_frame.h"

namespace velk {

LocalFrame::LocalFrame(const Cartesian& origin) {
  const Geographic where = CENTRGEO(origin);
  rotation_ = localRotation(where.lon * gradToRad(), where.lat * gradToRad());
}

LocalENU LocalFrame::components(const Cartesian& vector) const {
  const Matrix3& r = rotation_;
  return {(r(1, 3) * vector.z + r(1, 2) * vector.y) + r(1, 1) * vector.x,
          (r(2, 3) * vector.z + r(2, 2) * vector.y) + r(2, 1) * vector.x,
          (r(3, 3) * vector.z + r(3, 2) * vector.y) + r(3, 1) * vector.x};
}

}  // namespace velk
