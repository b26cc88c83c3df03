// Body JSON: decoded message bodies and summary blobs as JSON, so that a person or a tool can see what an
// archive holds.
//
// An archive is described three ways: as the attributed body the thread builder would read from it (text
// and attribute runs, null when the root object is no attributed string), as the plain value of its root
// object, and as the raw tree of groups and objects. In the tree every object is written in full once,
// numbered in the order met, and later mentions of it are {"ref": n}: archives share objects and may
// hold cycles, so a tree without references could be endless.
//
//   auto archive = TypedStream::decode(bytes);
//   BodyJSON::archive(*archive)
//       -> {"attributedBody":{"text":"Hi","runs":[{"location":0,"length":2,"partIndex":0,…}]},
//           "plainValue":"Hi",
//           "groups":[{"types":"@","values":[{"object":1,"classes":["NSMutableAttributedString",…],
//                                            "groups":[…]}]}]}
//   BodyJSON::summary(info) -> {"versions":[{"text":"First","date":1700000000000}],"retractedParts":[0]}
//
// Value forms in the tree: integers and reals as numbers, byte strings as text when they are UTF-8 and
// otherwise {"data": lower-case hex}, C strings as text, {"class": name}, {"selector": name}, arrays as
// arrays, nil as null. Plain values: text, numbers, {"data": hex}, {"url": text}, objects and arrays.
#pragma once

#include "body/attributed_body.h"
#include "body/plain_value.h"
#include "body/summary_info.h"
#include "body/typed_stream.h"
#include "conversations/model_json.h"

namespace quillmark::BodyJSON {

using JSON = ModelJSON::JSON;

JSON attributedBody(const AttributedBody& body);
JSON plainValue(const PlainValue& value);
// The groups of a decoded archive as a tree.
JSON tree(const TypedStream::Archive& archive);
// The attributed body (or null), the plain value of the root object (or null without one) and the tree.
JSON archive(const TypedStream::Archive& archive);
JSON summary(const SummaryInfo& info);

}  // namespace quillmark::BodyJSON
