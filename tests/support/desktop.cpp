#include "support/desktop.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/sway.h"
#include "support/xserver.h"

size_t Desktop::wait_for_picture(unsigned long w,
                                 const std::vector<uint32_t> &want) const
{
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::vector<uint32_t> got;
  do {
    got = screenshot(w);
    if (got == want)
      return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  size_t wrong = want.size() > got.size() ? want.size() - got.size() : 0;
  for (size_t i = 0; i < want.size() && i < got.size(); i++)
    wrong += got[i] != want[i];
  return wrong;
}

bool on_wayland(void)
{
  const char *desktop = getenv("FLUMO_DESKTOP");
  return desktop && std::string(desktop) == "wayland";
}

std::unique_ptr<Desktop> make_desktop(void)
{
  if (on_wayland())
    return std::make_unique<Sway>();
  return std::make_unique<XServer>();
}
