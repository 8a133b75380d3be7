// A formula tree compiled into a flat postfix program, run without recursion. It gives the
// same value and the same error flag as the tree walk, including what the walk makes of the
// rest of the tree after a domain error, so the evaluator may use either.
#pragma once

#include <cstdint>

#include "engine/Functions.h"
#include "engine/Globals.h"

class EvalProgram {
  public:
    static constexpr int kCapacity = 1024;

    // False when the tree is too large or holds a node the program does not know; the caller
    // then walks the tree.
    bool Compile(const _FNCNODE* root);
    // The value of the tree at x. error comes in clear and is raised, as the tree walk raises
    // its flag, when a function is applied outside its domain.
    double Run(double x, int32_t& error) const;

  private:
    // The value on top of the stack is kept apart in an accumulator. Binary operators come
    // in four forms by where their operands are, each form in the order + - * /.
    enum class Op : uint8_t {
        PushX,  // push acc; acc = x
        PushK,  // push acc; acc = k
        Call,   // acc = f(acc)
        CallX,  // push acc; acc = f(x)
        Abs,    // the two cheapest functions inline, without a call: acc = |acc|
        AbsX,   // push acc; acc = |x|
        Sqrt,   // acc = sqrt(acc), or the error
        SqrtX,  // push acc; acc = sqrt(x), or the error
        Add,
        Sub,
        Mul,
        Div,  // acc = pop() op acc
        AddX,
        SubX,
        MulX,
        DivX,  // acc = acc op x
        AddK,
        SubK,
        MulK,
        DivK,  // acc = acc op k
        KAdd,
        KSub,
        KMul,
        KDiv,  // acc = k op acc
    };

    struct Instr {
        Op op;
        uint16_t start;  // index of the first instruction of this node's subtree
        double k;
        FormulaFunction function;
    };

    // The operator character of a binary instruction, from its position in its form.
    static char OperatorOf(Op op) {
        return "+-*/"[(static_cast<int>(op) - static_cast<int>(Op::Add)) % 4];
    }

    // The instruction applying function code to the top of the stack, or to X.
    static Op CallOf(char code, bool ofX);

    // Runs one instruction on the accumulator and the stack; returns the new accumulator.
    static double Step(const Instr& in, double acc, double x, double* stack, int& sp,
                       int32_t& error);

    bool Emit(const _FNCNODE* node, int depth);
    bool EmitFunction(const _FNCNODE* node, int depth, int start);
    bool EmitOperator(const _FNCNODE* node, int depth, int start);
    bool Append(Op op, char code, double k, int start);
    bool AppendBinary(Op addForm, char op, double k, int start);
    double RunAfterError(int failed, double acc, double* stack, int sp, int32_t& error) const;

    Instr code_[kCapacity];
    // For each start index, the last instruction whose subtree starts there: the whole
    // operand that begins at that instruction.
    uint16_t operandEnd_[kCapacity];
    int count_ = 0;
};
