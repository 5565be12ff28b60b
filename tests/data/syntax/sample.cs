// Order processing module.
#nullable enable
#region Usings
using System;
using System.Collections.Generic;
using System.Linq;
using System.Threading.Tasks;
#endregion

namespace Shop.Orders
{
    /// <summary>An order line.</summary>
    public record OrderLine(string Sku, int Quantity, decimal Price);

    public enum OrderState : byte { New = 0, Paid = 1, Shipped = 0x02, Cancelled = 4 }

    [Serializable]
    public sealed class Order : IComparable<Order>
    {
        private readonly List<OrderLine> _lines = new();
        public Guid Id { get; init; } = Guid.NewGuid();
        public OrderState State { get; private set; }
        public DateTime Created { get; } = DateTime.UtcNow;

        public decimal Total => _lines.Sum(line => line.Quantity * line.Price);

        public void Add(string sku, int quantity, decimal price)
        {
            if (quantity <= 0)
                throw new ArgumentOutOfRangeException(nameof(quantity), $"bad quantity {quantity}");
            _lines.Add(new OrderLine(sku, quantity, price));
        }

        public int CompareTo(Order? other) => other is null ? 1 : Created.CompareTo(other.Created);

        public override string ToString()
        {
            var path = @"C:\orders\""archive""\";
            var name = $@"Order {Id}
spans a verbatim line";
            var text = """
                Raw string literal with "quotes"
                and more lines
                """;
            char quote = '\'';
            string escaped = "tab\tquote\"end";
            return $"{Id} {State} {Total:0.00} {path} {name} {text} {quote} {escaped}";
        }
    }

    public static class OrderQueries
    {
        public static IEnumerable<Order> Recent(this IEnumerable<Order> orders, int days = 7)
        {
            var since = DateTime.UtcNow.AddDays(-days);
            return from order in orders
                   where order.Created >= since && order.State != OrderState.Cancelled
                   orderby order.Created descending
                   select order;
        }

        public static async Task<int> CountPaidAsync(IAsyncEnumerable<Order> orders)
        {
            int count = 0;
            await foreach (var order in orders)
            {
                switch (order.State)
                {
                    case OrderState.Paid:
                    case OrderState.Shipped:
                        count++;
                        break;
                    default:
                        continue;
                }
            }
            return count;
        }

        /* Block comment
           over two lines */
        public static double Ratio(long a, ulong b, float c = 1.5f, double d = 2.0e-3)
        {
            unchecked
            {
                object boxed = a;
                dynamic anything = b;
                bool ok = boxed is long l && l > 0 and not 0;
                return ok ? (double)a / c + d : double.NaN;
            }
        }
    }

    internal struct Money
    {
        public const int Scale = 100;
        public static readonly Money Zero = default;
        public long Cents;

        public static Money operator +(Money x, Money y) => new() { Cents = x.Cents + y.Cents };
    }
}
