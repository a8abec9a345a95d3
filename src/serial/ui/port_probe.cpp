#include "serial/ui/port_probe.h"

#include "platform/port_listing.h"

bool PortExists(unsigned n) {
  return ComPortListed(n);
}
