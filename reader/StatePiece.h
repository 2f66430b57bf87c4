#pragma once

#include <utility>

/// One piece of the state a parse carries from line to line.
///
/// A part of a dump parsed on its own starts from a guess of every piece
/// (LineState::partStart()); each piece notes whether the part's lines read
/// the guess before they set the piece themselves. A piece of a whole
/// parse is known from the start and notes nothing.
template <class T> class StatePiece {
public:
  StatePiece(T value, bool guessed) : value_(std::move(value)), known_(!guessed) {}

  /// The value, to read.
  const T &get() const {
    if (!known_) guessRead_ = true;
    return value_;
  }
  /// The value, to change from what it is.
  T &update() {
    get();
    known_ = true;
    return value_;
  }
  /// The value, to overwrite: what it was does not matter.
  T &replace() {
    known_ = true;
    return value_;
  }
  /// Sets the value, whatever it was.
  void set(T value) {
    value_ = std::move(value);
    known_ = true;
  }

  /// For the join of a part that started from \p guess: true unless the
  /// part's lines read the guess and \p earlier, the piece of the parse of
  /// the lines before the part, is not what was guessed.
  bool agreesWith(const StatePiece &earlier, const StatePiece &guess) const {
    return !guessRead_ || earlier.value_ == guess.value_;
  }
  /// For the join: takes what \p later's lines set, if they set anything.
  void takeFrom(const StatePiece &later) {
    if (later.known_) value_ = later.value_;
  }

private:
  T value_;
  bool known_;
  mutable bool guessRead_ = false;
};
