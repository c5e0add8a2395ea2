#include "common/camera.hpp"

namespace grappix {

void Camera::Init(double x, double y) { pos.Set(x, y); }
void Camera::SetPos(double x, double y) { pos.Set(x, y); }

}  // namespace grappix
