// Root object types shared by the parser and its users.
//
// TObject is the root of every class that raises callbacks: the first argument
// of every callback is the object that raised it, typed as TObject*. TComponent
// adds an optional owner that destroys the component when it is destroyed
// itself. Both are defined here once; other libraries include this header
// instead of defining their own (guarded so a second definition cannot slip in).
#ifndef LARKSPAN_HTMLPARSER_CLHTMLOBJECT_H
#define LARKSPAN_HTMLPARSER_CLHTMLOBJECT_H

#include <vector>

namespace larkspan {

#ifndef LARKSPAN_TOBJECT_DEFINED
#define LARKSPAN_TOBJECT_DEFINED
struct TObject {
  virtual ~TObject() = default;
};
#endif

#ifndef LARKSPAN_TCOMPONENT_DEFINED
#define LARKSPAN_TCOMPONENT_DEFINED
// A TObject that may be given an owner at construction. The owner destroys
// every component it still owns when it is destroyed; a component destroyed
// earlier takes itself off its owner's list. Not copyable.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }

 private:
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};
#endif

}  // namespace larkspan

#endif  // LARKSPAN_HTMLPARSER_CLHTMLOBJECT_H
