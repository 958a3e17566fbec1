#include "components/component_messages.h"

#include "engine/errors.h"

namespace rudira {

void RaiseDatabaseError(const char* message) { throw EDatabaseError(message); }

void RaiseDatabaseError(const char* messageTemplate, const std::string& name) {
  std::string text = messageTemplate;
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  throw EDatabaseError(text);
}

}  // namespace rudira
