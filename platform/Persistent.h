// Persistent objects of the component model: objects that can copy their
// settings from one another and take part in storing.
#pragma once

#include <string>

#include "platform/SysUtils.h"

class TFiler;

// "Cannot assign a <source> to a <destination>": Assign found no way to copy.
class EConvertError : public Exception {
  using Exception::Exception;
};

class TPersistent : public TObject {
 public:
  // Copies the settings of ASource into this object. The default asks ASource
  // to do it (AssignTo), which fails unless a class knows how.
  virtual void Assign(TPersistent* ASource);

  // Where ownership chains are followed (names in stored layouts): the object
  // this one belongs to, or nullptr.
  virtual TPersistent* GetOwner() { return nullptr; }

  // The class name as stored layouts and messages show it.
  virtual std::string ClassName() const { return "TPersistent"; }

 protected:
  // Copies this object's settings into ADest; the default fails with
  // EConvertError.
  virtual void AssignTo(TPersistent* ADest);

  // Declares the properties this class stores beyond its published ones.
  virtual void DefineProperties(TFiler* /*AFiler*/) {}

  friend class TFiler;
};
