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
    // X values evaluated together by RunBlock. Each instruction runs across the whole block
    // before the next, so its dispatch is paid once per block. Of 16 to 256 measured with
    // bench_eval and bench_draw, 16 was slowest and the others within noise of each other; 64
    // keeps a block's rows of values to 17 KB of stack.
    static constexpr int kBlock = 64;
    // The deepest stack RunBlock keeps a block of values for; a deeper program runs its block one
    // sample at a time.
    static constexpr int kBlockDepth = 32;

    // False when the tree is too large or holds a node the program does not know; the caller
    // then walks the tree.
    bool Compile(const _FNCNODE* root);
    // The value of the tree at x. error comes in clear and is raised, as the tree walk raises
    // its flag, when a function is applied outside its domain.
    double Run(double x, int32_t& error) const;
    // The values and error flags at count (1 to kBlock) X values: y[i] and error[i] (0 or 1) are
    // bit for bit what Run gives at x[i]. The flags come from the operands, as Run's do.
    void RunBlock(const double* x, int count, double* y, int32_t* error) const;

    // A function applied across a block: out[i] = f(in[i]) for every lane. A lane where it fails
    // records index in failedAt unless an earlier instruction failed there. True when any failed.
    using BlockFunction = bool (*)(const double* in, double* out, int16_t* failedAt, int16_t index);

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

    // The values of one block that RunBlock keeps: a row of lanes per stack level, the top one
    // being the accumulator, and for each lane the first instruction that failed in it.
    struct Lanes;

    struct Instr {
        Op op;
        uint16_t start;  // index of the first instruction of this node's subtree
        double k;
        FormulaFunction function;
        BlockFunction blockFunction;
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
    bool StepBlock(int index, Lanes& lanes, const double* x, int& sp, bool failed) const;
    void BinaryBlock(int index, Lanes& lanes, const double* x, int& sp, bool failed) const;
    void SkipAfterError(int index, Lanes& lanes, int sp) const;
    void MeasureDepth();

    Instr code_[kCapacity];
    // For each start index, the last instruction whose subtree starts there: the whole
    // operand that begins at that instruction.
    uint16_t operandEnd_[kCapacity];
    int count_ = 0;
    int depth_ = 0;  // the most values the stack holds, accumulator included
};
