#pragma once
// The interface language.

namespace tallowin {

enum class Language { English, German };

}  // namespace tallowin
