#include "platform/Persistent.h"

void TPersistent::Assign(const TPersistent* ASource) {
  if (ASource == nullptr) {
    const std::string dest = ClassName();
    throw EConvertError(Format("Cannot assign a nil to a %s", dest.c_str()));
  }
  ASource->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* ADest) const {
  const std::string source = ClassName();
  const std::string dest = ADest != nullptr ? ADest->ClassName() : "nil";
  throw EConvertError(Format("Cannot assign a %s to a %s", source.c_str(), dest.c_str()));
}

const TClassInfo& TPersistent::StaticClass() {
  static const TClassInfo info = TClassBuilder<TPersistent>("TPersistent", nullptr).Build();
  return info;
}
