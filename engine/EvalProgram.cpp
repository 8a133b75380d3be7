#include "engine/EvalProgram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/Functions.h"

namespace {

// failedAt of a lane where no instruction has failed.
constexpr int16_t kNoFailure = INT16_MAX;
static_assert(EvalProgram::kCapacity < kNoFailure, "instruction indexes must fit failedAt");

// One function across a block, the function inlined: the library call is made lane after lane as
// Run makes it for each sample, and the domain test of each lane raises that lane's flag.
template <FormulaFunction F>
bool ApplyAcross(const double* in, double* out, int16_t* failedAt, int16_t index) {
    int32_t any = 0;
    for (int i = 0; i < EvalProgram::kBlock; ++i) {
        int32_t error = 0;
        out[i] = F(in[i], error);
        if (error != 0 && failedAt[i] == kNoFailure) {
            failedAt[i] = index;
        }
        any |= error;
    }
    return any != 0;
}

template <size_t... I>
constexpr std::array<EvalProgram::BlockFunction, kTokenCount> MakeBlockFunctions(
    std::index_sequence<I...>) {
    return {&ApplyAcross<kFunctions[I].function>...};
}

// The block form of each function, in code order.
constexpr std::array<EvalProgram::BlockFunction, kTokenCount> kBlockFunctions =
    MakeBlockFunctions(std::make_index_sequence<kTokenCount>());

// SQRT across a block. The library's square root is the correctly rounded one of the processor
// (the compiler makes sqrtsd of std::sqrt, calling the library only for the errno of a NaN
// result), so the lanes are taken two at a time by sqrtpd, which rounds each the same; the lanes
// whose root is NaN, the ones outside the domain, then fail as the one-sample test fails them.
bool SqrtAcross(const double* in, double* out, int16_t* failedAt, int16_t index) {
#if defined(__SSE2__)
    int outside = 0;
    for (int i = 0; i < EvalProgram::kBlock; i += 2) {
        const __m128d root = _mm_sqrt_pd(_mm_loadu_pd(in + i));
        outside |= _mm_movemask_pd(_mm_cmpunord_pd(root, root));
        _mm_storeu_pd(out + i, root);
    }
    if (outside == 0) {
        return false;
    }
    for (int i = 0; i < EvalProgram::kBlock; ++i) {
        if (std::isnan(out[i])) {
            out[i] = kEvalErrorValue;
            failedAt[i] = failedAt[i] == kNoFailure ? index : failedAt[i];
        }
    }
    return true;
#else
    return ApplyAcross<functions::Sqrt>(in, out, failedAt, index);
#endif
}

EvalProgram::BlockFunction BlockFunctionFor(char code) {
    if (code == kSqrt) {
        return SqrtAcross;
    }
    return code >= 1 && code <= kTokenCount ? kBlockFunctions[code - 1] : nullptr;
}

// Where a binary instruction finds its operands; the forms follow each other in that order.
enum Form { kStackForm, kXForm, kKForm, kKLeftForm };

// acc[i] = acc[i] op right[i], acc[i] op k or k op acc[i] across the whole block: loops of a
// fixed length over rows that do not overlap, which the compiler turns into vector instructions
// (each lane's operation is the same IEEE operation as Run's). Under a mask, the lanes where
// skip(i) holds take 0.0 for their right operand instead.
template <typename Operator, typename Skip>
void OperatorAcross(Form form, double* __restrict acc, const double* __restrict right, double k,
                    Skip skip) {
    constexpr int n = EvalProgram::kBlock;
    const Operator op;
    switch (form) {
        case kStackForm:
        case kXForm:
            for (int i = 0; i < n; ++i) {
                acc[i] = op(acc[i], skip(i) ? 0.0 : right[i]);
            }
            break;
        case kKForm:
            for (int i = 0; i < n; ++i) {
                acc[i] = op(acc[i], skip(i) ? 0.0 : k);
            }
            break;
        case kKLeftForm:
            for (int i = 0; i < n; ++i) {
                acc[i] = op(k, acc[i]);
            }
            break;
    }
}

template <typename Skip>
void BinaryAcross(int opIndex, Form form, double* acc, const double* right, double k, Skip skip) {
    switch (opIndex) {
        case 0:
            return OperatorAcross<std::plus<double>>(form, acc, right, k, skip);
        case 1:
            return OperatorAcross<std::minus<double>>(form, acc, right, k, skip);
        case 2:
            return OperatorAcross<std::multiplies<double>>(form, acc, right, k, skip);
        default:
            return OperatorAcross<std::divides<double>>(form, acc, right, k, skip);
    }
}

bool IsConstantOperand(const _FNCNODE* node) {
    return node == nullptr || node->Type == IsAValue;
}

double ConstantOf(const _FNCNODE* node) {
    return node != nullptr ? node->Value : 0.0;
}

bool IsVariable(const _FNCNODE* node) {
    return node != nullptr && node->Type == IsAnX;
}

constexpr char kOperators[] = "+-*/";

// Position of the operator in "+-*/", or -1.
int OperatorIndex(char c) {
    for (int i = 0; i < 4; ++i) {
        if (kOperators[i] == c) {
            return i;
        }
    }
    return -1;
}

}  // namespace

EvalProgram::Op EvalProgram::CallOf(char code, bool ofX) {
    switch (code) {
        case kAbs:
            return ofX ? Op::AbsX : Op::Abs;
        case kSqrt:
            return ofX ? Op::SqrtX : Op::Sqrt;
        default:
            return ofX ? Op::CallX : Op::Call;
    }
}

bool EvalProgram::Compile(const _FNCNODE* root) {
    count_ = 0;
    if (!Emit(root, 1)) {
        count_ = 0;
        return false;
    }
    for (int i = 0; i < count_; ++i) {
        operandEnd_[code_[i].start] = static_cast<uint16_t>(i);
    }
    MeasureDepth();
    return true;
}

void EvalProgram::MeasureDepth() {
    int sp = 0;
    depth_ = 0;
    for (int i = 0; i < count_; ++i) {
        const Op op = code_[i].op;
        if (op == Op::PushX || op == Op::PushK || op == Op::CallX || op == Op::AbsX ||
            op == Op::SqrtX) {
            depth_ = std::max(depth_, ++sp);
        } else if (op >= Op::Add && op <= Op::Div) {
            --sp;
        }
    }
}

bool EvalProgram::Append(Op op, char code, double k, int start) {
    if (count_ >= kCapacity) {
        return false;
    }
    code_[count_++] =
        Instr{op, static_cast<uint16_t>(start), k, FunctionFor(code), BlockFunctionFor(code)};
    return true;
}

bool EvalProgram::AppendBinary(Op addForm, char op, double k, int start) {
    const int offset = OperatorIndex(op);
    return Append(static_cast<Op>(static_cast<int>(addForm) + offset), 0, k, start);
}

// Postfix order: a node's operands come before it, the left one first. An X or a constant
// operand is folded into its parent's instruction.
// Every level of nesting adds at least one instruction, so a tree deeper than the capacity
// cannot fit: refusing it there bounds the recursion, also on hand-built degenerate trees whose
// descent emits nothing until it reaches the bottom.
bool EvalProgram::Emit(const _FNCNODE* node, int depth) {
    const int start = count_;
    if (count_ >= kCapacity || depth > kCapacity) {
        return false;
    }
    if (node == nullptr) {
        return Append(Op::PushK, 0, 0.0, start);
    }
    switch (node->Type) {
        case IsAnX:
            return Append(Op::PushX, 0, 0.0, start);
        case IsAValue:
            return Append(Op::PushK, 0, node->Value, start);
        case IsAToken:
            return EmitFunction(node, depth, start);
        case IsAnOperator:
            return EmitOperator(node, depth, start);
        default:
            return false;
    }
}

bool EvalProgram::EmitFunction(const _FNCNODE* node, int depth, int start) {
    const char code = node->OperatorOrToken;
    if (code < 1 || code > kTokenCount) {
        return false;
    }
    if (IsVariable(node->Left)) {
        return Append(CallOf(code, true), code, 0.0, start);
    }
    return Emit(node->Left, depth + 1) && Append(CallOf(code, false), code, 0.0, start);
}

bool EvalProgram::EmitOperator(const _FNCNODE* node, int depth, int start) {
    const char op = node->OperatorOrToken;
    const _FNCNODE* left = node->Left;
    const _FNCNODE* right = node->Right;
    if (OperatorIndex(op) < 0) {
        return false;
    }
    if (IsVariable(right)) {
        return Emit(left, depth + 1) && AppendBinary(Op::AddX, op, 0.0, start);
    }
    if (IsConstantOperand(right)) {
        return Emit(left, depth + 1) && AppendBinary(Op::AddK, op, ConstantOf(right), start);
    }
    if (IsConstantOperand(left)) {
        return Emit(right, depth + 1) && AppendBinary(Op::KAdd, op, ConstantOf(left), start);
    }
    return Emit(left, depth + 1) && Emit(right, depth + 1) && AppendBinary(Op::Add, op, 0.0, start);
}

// One instruction: returns the new accumulator. A function outside its domain raises error.
inline double EvalProgram::Step(const Instr& in, double acc, double x, double* stack, int& sp,
                                int32_t& error) {
    // One case per instruction, so that a single jump dispatches each; laid out as a table.
    // clang-format off
    switch (in.op) {
        case Op::PushX: stack[sp++] = acc; return x;
        case Op::PushK: stack[sp++] = acc; return in.k;
        case Op::Call:  return in.function(acc, error);
        case Op::CallX: stack[sp++] = acc; return in.function(x, error);
        case Op::Abs:   return functions::Abs(acc, error);
        case Op::AbsX:  stack[sp++] = acc; return functions::Abs(x, error);
        case Op::Sqrt:  return functions::Sqrt(acc, error);
        case Op::SqrtX: stack[sp++] = acc; return functions::Sqrt(x, error);
        case Op::Add:   return stack[--sp] + acc;
        case Op::Sub:   return stack[--sp] - acc;
        case Op::Mul:   return stack[--sp] * acc;
        case Op::Div:   return stack[--sp] / acc;
        case Op::AddX:  return acc + x;
        case Op::SubX:  return acc - x;
        case Op::MulX:  return acc * x;
        case Op::DivX:  return acc / x;
        case Op::AddK:  return acc + in.k;
        case Op::SubK:  return acc - in.k;
        case Op::MulK:  return acc * in.k;
        case Op::DivK:  return acc / in.k;
        case Op::KAdd:  return in.k + acc;
        case Op::KSub:  return in.k - acc;
        case Op::KMul:  return in.k * acc;
        case Op::KDiv:  return in.k / acc;
    }
    // clang-format on
    return acc;
}

double EvalProgram::Run(double x, int32_t& error) const {
    double stack[kCapacity];
    int sp = 0;
    double acc = 0.0;
    for (int i = 0; i < count_; ++i) {
        acc = Step(code_[i], acc, x, stack, sp, error);
        if (error) {
            return RunAfterError(i, acc, stack, sp, error);
        }
    }
    return acc;
}

// After a domain error the tree walk still finishes the nodes it had entered (the ancestors
// of the failed function), but every node it enters afterwards yields 0.0 unevaluated. In
// postfix order such a node is a whole operand that starts after the failed instruction.
double EvalProgram::RunAfterError(int failed, double acc, double* stack, int sp,
                                  int32_t& error) const {
    int i = failed + 1;
    while (i < count_) {
        const Instr& in = code_[i];
        if (in.start > failed) {
            stack[sp++] = acc;
            acc = 0.0;
            i = operandEnd_[in.start] + 1;
            continue;
        }
        if (in.op == Op::Call || in.op == Op::Abs || in.op == Op::Sqrt) {
            acc = in.function(acc, error);
        } else if (in.op >= Op::Add && in.op <= Op::Div) {
            acc = ApplyOperator(OperatorOf(in.op), stack[--sp], acc);
        } else if (in.op >= Op::AddX && in.op <= Op::DivK) {
            // X or a constant on the right is entered after the failure
            acc = ApplyOperator(OperatorOf(in.op), acc, 0.0);
        } else if (in.op >= Op::KAdd && in.op <= Op::KDiv) {
            // a constant on the left was entered before it
            acc = ApplyOperator(OperatorOf(in.op), in.k, acc);
        }
        ++i;
    }
    return acc;
}

struct EvalProgram::Lanes {
    double row[kBlockDepth + 1][kBlock];  // row[sp] is the accumulator
    int16_t failedAt[kBlock];
};

// One instruction across the block; true when a function failed in some lane. Pushing is moving
// up a row, so no values are copied.
bool EvalProgram::StepBlock(int index, Lanes& lanes, const double* x, int& sp, bool failed) const {
    const Instr& in = code_[index];
    const auto at = static_cast<int16_t>(index);
    double* acc = lanes.row[sp];
    switch (in.op) {
        case Op::PushX:
            std::copy(x, x + kBlock, lanes.row[++sp]);
            return false;
        case Op::PushK: {
            double* top = lanes.row[++sp];
            std::fill(top, top + kBlock, in.k);
            return false;
        }
        case Op::Call:
        case Op::Abs:
        case Op::Sqrt:
            return in.blockFunction(acc, acc, lanes.failedAt, at);
        case Op::CallX:
        case Op::AbsX:
        case Op::SqrtX:
            return in.blockFunction(x, lanes.row[++sp], lanes.failedAt, at);
        default:
            BinaryBlock(index, lanes, x, sp, failed);
            return false;
    }
}

// An operator across the block: on the row below the accumulator and the accumulator (stack
// form), or on the accumulator and X or a constant. Once a lane has failed (failed), a right
// operand that is X or a constant is entered after the failure in the lanes that failed inside
// the left one, and counts as 0.0 there, as in RunAfterError.
inline void EvalProgram::BinaryBlock(int index, Lanes& lanes, const double* x, int& sp,
                                     bool failed) const {
    const Instr& in = code_[index];
    double* acc = lanes.row[sp];
    const int position = static_cast<int>(in.op) - static_cast<int>(Op::Add);
    const auto form = static_cast<Form>(position / 4);
    const int opIndex = position % 4;
    const auto never = [](int) { return false; };
    if (form == kStackForm) {
        --sp;  // the left operand, below the accumulator, takes the result
        BinaryAcross(opIndex, form, lanes.row[sp], acc, 0.0, never);
    } else if (!failed || form == kKLeftForm) {
        BinaryAcross(opIndex, form, acc, x, in.k, never);
    } else {
        const int16_t* failedAt = lanes.failedAt;
        const int start = in.start;
        BinaryAcross(opIndex, form, acc, x, in.k, [failedAt, start, index](int i) {
            return failedAt[i] >= start && failedAt[i] < index;
        });
    }
}

// After the last instruction of an operand, the lanes that had failed before the operand began
// take 0.0 for it: the tree walk never enters it there (see RunAfterError).
void EvalProgram::SkipAfterError(int index, Lanes& lanes, int sp) const {
    const int start = code_[index].start;
    if (operandEnd_[start] != index) {
        return;
    }
    for (int i = 0; i < kBlock; ++i) {
        if (lanes.failedAt[i] < start) {
            lanes.row[sp][i] = 0.0;
        }
    }
}

// A short block is filled up with its last X, so that every loop runs over the whole block.
void EvalProgram::RunBlock(const double* x, int count, double* y, int32_t* error) const {
    if (depth_ > kBlockDepth) {
        for (int i = 0; i < count; ++i) {
            error[i] = 0;
            y[i] = Run(x[i], error[i]);
        }
        return;
    }
    double xs[kBlock];
    std::copy(x, x + count, xs);
    std::fill(xs + count, xs + kBlock, x[count - 1]);
    Lanes lanes;
    std::fill(lanes.failedAt, lanes.failedAt + kBlock, kNoFailure);
    int sp = 0;
    bool failed = false;
    for (int i = 0; i < count_; ++i) {
        failed = StepBlock(i, lanes, xs, sp, failed) || failed;
        if (failed) {
            SkipAfterError(i, lanes, sp);
        }
    }
    for (int i = 0; i < count; ++i) {
        y[i] = lanes.row[sp][i];
        error[i] = lanes.failedAt[i] != kNoFailure ? 1 : 0;
    }
}
