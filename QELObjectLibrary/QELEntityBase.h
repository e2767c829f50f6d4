// The root of the entity hierarchy. Include QELEntity.h to get every entity class.
#ifndef QELOBJECTLIBRARY_QELENTITYBASE_H
#define QELOBJECTLIBRARY_QELENTITYBASE_H

#include <cstdint>
#include <vector>

// Entities are created with new, handled as CQELEntity* (lists of them are exchanged with the
// hatching library) and destroyed through the virtual destructor by whichever container holds
// them. Code dispatches on the type code, not on the run-time type.
class CQELEntity {
 public:
  // Type codes.
  static constexpr std::int32_t kLine = 0;
  static constexpr std::int32_t kEllipticalArc = 1;
  static constexpr std::int32_t kPolyLine = 2;
  static constexpr std::int32_t kPolyDraw = 3;
  static constexpr std::int32_t kD3Bezier = 4;
  static constexpr std::int32_t kDot = 8;

  explicit CQELEntity(std::int32_t type) : type_(type) {}
  virtual ~CQELEntity() = default;

  std::int32_t GetType() const { return type_; }
  void SetType(std::int32_t type) { type_ = type; }

  // The base operations do nothing; each class overrides the ones it supports.
  virtual void Scale(double /*sx*/, double /*sy*/) {}
  virtual void Rotate(double /*angle*/) {}
  // A deep copy owned by the caller, or null for the classes that cannot be copied this way.
  [[nodiscard]] virtual CQELEntity* Clone() const { return nullptr; }
  virtual void Transform(double /*a*/, double /*b*/, double /*c*/, double /*d*/, double /*e*/,
                         double /*f*/) {}
  virtual void TransformBilinear(double /*a*/, double /*b*/, double /*c*/, double /*d*/,
                                 double /*e*/, double /*f*/, double /*g*/, double /*h*/) {}

 protected:
  CQELEntity(const CQELEntity&) = default;
  CQELEntity& operator=(const CQELEntity&) = default;

 private:
  std::int32_t type_;
};

// Deletes every entity of the list and empties it (the list owns its entities).
void DeleteEntities(std::vector<CQELEntity*>& entities);

#endif  // QELOBJECTLIBRARY_QELENTITYBASE_H
