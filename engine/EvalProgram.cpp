#include "engine/EvalProgram.h"

#include "engine/Functions.h"

namespace {

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
    return true;
}

bool EvalProgram::Append(Op op, char code, double k, int start) {
    if (count_ >= kCapacity) {
        return false;
    }
    code_[count_++] = Instr{op, static_cast<uint16_t>(start), k, FunctionFor(code)};
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
