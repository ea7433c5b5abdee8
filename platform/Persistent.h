// Persistent objects of the component model: objects that can copy their
// settings from one another and take part in storing.
#pragma once

#include <string>

#include "platform/SysUtils.h"
#include "platform/TypInfo.h"

class TFiler;

class TPersistent : public TObject {
 public:
  // Copies the settings of ASource into this object; ASource is only read.
  // The default asks ASource to do it (AssignTo), which fails unless a class
  // knows how.
  virtual void Assign(const TPersistent* ASource);

  // Where ownership chains are followed (names in stored layouts): the object
  // this one belongs to, or nullptr.
  virtual TPersistent* GetOwner() { return nullptr; }

  // The description of this object's class: its name, parent chain and
  // published properties. Every class with published properties overrides it
  // with its own `StaticClass()`.
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  static const TClassInfo& StaticClass();

  // The class name as stored layouts and messages show it.
  virtual std::string ClassName() const { return ClassType().Name(); }

  // The name of this object within its owner's path, as messages show it
  // ("Form1.Button1", "Background"); the class name when it has none.
  virtual std::string GetNamePath() const { return ClassName(); }

 protected:
  // Copies this object's settings into ADest; the default fails with
  // EConvertError.
  virtual void AssignTo(TPersistent* ADest) const;

  // Declares the properties this class stores beyond its published ones.
  virtual void DefineProperties(TFiler* /*AFiler*/) {}

  friend class TFiler;
};
